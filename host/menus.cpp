// Menus: the plug-ins menu, the submenus and items plug-ins add, and choosing items by path.
#include "XPLMMenus.h"
#include "host_state.h"

namespace xphost {
namespace detail {

namespace {

Menu* MenuOf(XPLMMenuID handle, std::uint64_t* serialOut = nullptr) {
    std::uint64_t serial = 0;
    if (!HandleSerial(handle, Kind::Menu, &serial)) return nullptr;
    auto& menus = S().menus;
    auto found = menus.find(serial);
    if (found == menus.end()) return nullptr;
    if (serialOut != nullptr) *serialOut = serial;
    return &found->second;
}

struct ItemPlace {
    std::uint64_t menu = 0;
    std::size_t item = 0;
};

// Finds path below a menu: an item name, or an item name, '/' and the path below its submenu.
// Item names may hold '/' themselves: every split is tried.
bool FindBelow(std::uint64_t menuSerial, const std::string& path, ItemPlace* place) {
    auto& menus = S().menus;
    auto found = menus.find(menuSerial);
    if (found == menus.end()) return false;
    const Menu& menu = found->second;
    for (std::size_t k = 0; k < menu.items.size(); ++k) {
        const MenuItem& item = menu.items[k];
        if (path == item.name) {
            *place = ItemPlace{menuSerial, k};
            return true;
        }
        if (item.submenu != 0 && path.size() > item.name.size() &&
            path.compare(0, item.name.size(), item.name) == 0 && path[item.name.size()] == '/' &&
            FindBelow(item.submenu, path.substr(item.name.size() + 1), place)) {
            return true;
        }
    }
    return false;
}

// The item at path, from the plug-ins menu or from a top-level menu named by the path's start.
bool FindItem(const std::string& path, ItemPlace* place) {
    if (FindBelow(kPluginsMenuSerial, path, place)) return true;
    for (const auto& [serial, menu] : S().menus) {
        if (serial == kPluginsMenuSerial || menu.parent != 0) continue;
        if (path.size() > menu.name.size() && path.compare(0, menu.name.size(), menu.name) == 0 &&
            path[menu.name.size()] == '/' &&
            FindBelow(serial, path.substr(menu.name.size() + 1), place)) {
            return true;
        }
    }
    return false;
}

// The menu that path opens: "" the plug-ins menu, else the submenu of the item at path or a
// top-level menu of that name.
std::uint64_t FindMenu(const std::string& path) {
    if (path.empty()) return kPluginsMenuSerial;
    ItemPlace place;
    if (FindItem(path, &place)) return S().menus[place.menu].items[place.item].submenu;
    for (const auto& [serial, menu] : S().menus) {
        if (serial != kPluginsMenuSerial && menu.parent == 0 && menu.name == path) return serial;
    }
    return 0;
}

}  // namespace

void ResetMenus() {
    auto& menus = S().menus;
    menus.clear();
    Menu plugins;
    plugins.name = "Plugins";
    menus.emplace(kPluginsMenuSerial, plugins);
}

}  // namespace detail

bool ChooseMenu(const std::string& path) {
    detail::ItemPlace place;
    if (!detail::FindItem(path, &place)) return false;
    const detail::Menu& menu = detail::S().menus[place.menu];
    const detail::MenuItem& item = menu.items[place.item];
    if (item.submenu != 0) return false;
    XPLMMenuHandler_f handler = menu.handler;
    void* menuRef = menu.menuRef;
    void* itemRef = item.itemRef;
    if (handler != nullptr) handler(menuRef, itemRef);
    return true;
}

std::vector<std::string> MenuItems(const std::string& path) {
    std::vector<std::string> names;
    std::uint64_t serial = detail::FindMenu(path);
    if (serial == 0) return names;
    for (const auto& item : detail::S().menus[serial].items) names.push_back(item.name);
    return names;
}

int MenuItemCheck(const std::string& path) {
    detail::ItemPlace place;
    if (!detail::FindItem(path, &place)) return -1;
    return detail::S().menus[place.menu].items[place.item].check;
}

}  // namespace xphost

using xphost::detail::Kind;
using xphost::detail::MakeHandle;
using xphost::detail::MenuOf;
using xphost::detail::S;

XPLMMenuID XPLMFindPluginsMenu(void) {
    S();
    return MakeHandle(Kind::Menu, xphost::detail::kPluginsMenuSerial);
}

XPLMMenuID XPLMCreateMenu(const char* inName, XPLMMenuID inParentMenu, int inParentItem,
                          XPLMMenuHandler_f inHandler, void* inMenuRef) {
    auto& s = S();
    std::uint64_t parentSerial = 0;
    xphost::detail::Menu* parent = nullptr;
    if (inParentMenu != nullptr) {
        parent = MenuOf(inParentMenu, &parentSerial);
        if (parent == nullptr || inParentItem < 0 ||
            inParentItem >= static_cast<int>(parent->items.size())) {
            return nullptr;
        }
    }
    std::uint64_t serial = s.nextSerial++;
    xphost::detail::Menu menu;
    menu.name = inName != nullptr ? inName : "";
    menu.parent = parentSerial;
    menu.handler = inHandler;
    menu.menuRef = inMenuRef;
    s.menus.emplace(serial, menu);
    if (parent != nullptr) {
        s.menus[parentSerial].items[static_cast<std::size_t>(inParentItem)].submenu = serial;
    }
    return MakeHandle(Kind::Menu, serial);
}

int XPLMAppendMenuItem(XPLMMenuID inMenu, const char* inItemName, void* inItemRef,
                       int inDeprecatedAndIgnored) {
    (void)inDeprecatedAndIgnored;
    auto* menu = MenuOf(inMenu);
    if (menu == nullptr) return -1;
    xphost::detail::MenuItem item;
    item.name = inItemName != nullptr ? inItemName : "";
    item.itemRef = inItemRef;
    menu->items.push_back(item);
    return static_cast<int>(menu->items.size()) - 1;
}

void XPLMCheckMenuItem(XPLMMenuID inMenu, int index, XPLMMenuCheck inCheck) {
    auto* menu = MenuOf(inMenu);
    if (menu == nullptr || index < 0 || index >= static_cast<int>(menu->items.size())) return;
    menu->items[static_cast<std::size_t>(index)].check = inCheck;
}
