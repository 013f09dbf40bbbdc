// Widgets: trees of windows, captions and buttons, their messages and dispatch modes, and what a
// person's clicks on them cause.
#include <algorithm>
#include <cstring>

#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "host_state.h"

namespace xphost {
namespace detail {

namespace {

Widget* WidgetOf(std::uint64_t serial) {
    auto& widgets = S().widgets;
    auto found = widgets.find(serial);
    return found == widgets.end() ? nullptr : &found->second;
}

Widget* WidgetOf(XPWidgetID handle, std::uint64_t* serialOut = nullptr) {
    std::uint64_t serial = 0;
    if (!HandleSerial(handle, Kind::Widget, &serial)) return nullptr;
    if (serialOut != nullptr) *serialOut = serial;
    return WidgetOf(serial);
}

XPWidgetID HandleOf(std::uint64_t serial) {
    return MakeHandle(Kind::Widget, serial);
}

// One widget's callbacks, newest first. Stops at the first that handles the message unless
// allCallbacks; only the first is asked when once. Callbacks may destroy widgets or add callbacks.
int SendToOne(std::uint64_t serial, XPWidgetMessage message, std::intptr_t param1,
              std::intptr_t param2, bool allCallbacks, bool once) {
    Widget* widget = WidgetOf(serial);
    if (widget == nullptr) return 0;
    std::vector<XPWidgetFunc_t> callbacks = widget->callbacks;
    int handled = 0;
    for (XPWidgetFunc_t callback : callbacks) {
        if (WidgetOf(serial) == nullptr) break;
        int result = callback(message, HandleOf(serial), param1, param2);
        if (once) return result != 0 ? 1 : 0;
        if (result != 0) {
            handled = 1;
            if (!allCallbacks) break;
        }
    }
    return handled;
}

int SendRecursive(std::uint64_t serial, XPWidgetMessage message, std::intptr_t param1,
                  std::intptr_t param2) {
    int handled = SendToOne(serial, message, param1, param2, false, false);
    Widget* widget = WidgetOf(serial);
    if (widget == nullptr) return handled;
    std::vector<std::uint64_t> children = widget->children;
    for (std::uint64_t child : children) {
        if (SendRecursive(child, message, param1, param2) != 0) handled = 1;
    }
    return handled;
}

int Send(std::uint64_t serial, XPWidgetMessage message, XPDispatchMode mode, std::intptr_t param1,
         std::intptr_t param2) {
    switch (mode) {
        case xpMode_Direct:
            return SendToOne(serial, message, param1, param2, false, false);
        case xpMode_UpChain:
            while (Widget* widget = WidgetOf(serial)) {
                std::uint64_t parent = widget->parent;
                if (SendToOne(serial, message, param1, param2, false, false) != 0) return 1;
                serial = parent;
            }
            return 0;
        case xpMode_Recursive:
            return SendRecursive(serial, message, param1, param2);
        case xpMode_DirectAllCallbacks:
            return SendToOne(serial, message, param1, param2, true, false);
        case xpMode_Once:
            return SendToOne(serial, message, param1, param2, false, true);
        default:
            return 0;
    }
}

bool Visible(std::uint64_t serial) {
    for (Widget* widget = WidgetOf(serial); widget != nullptr; widget = WidgetOf(widget->parent)) {
        if (!widget->visible) return false;
        if (widget->parent == 0) return true;
    }
    return false;
}

void Destroy(std::uint64_t serial, bool withChildren, bool byParent) {
    if (WidgetOf(serial) == nullptr) return;
    Send(serial, xpMsg_Destroy, xpMode_Direct, byParent ? 1 : 0, 0);
    Widget* widget = WidgetOf(serial);
    if (widget == nullptr) return;
    std::vector<std::uint64_t> children = widget->children;
    for (std::uint64_t child : children) {
        if (withChildren) {
            Destroy(child, true, true);
        } else if (Widget* orphan = WidgetOf(child)) {
            orphan->parent = 0;
        }
    }
    widget = WidgetOf(serial);
    if (widget == nullptr) return;
    if (Widget* parent = WidgetOf(widget->parent)) {
        auto& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), serial), siblings.end());
    }
    S().widgets.erase(serial);
}

// The visible root windows in creation order.
std::vector<std::uint64_t> VisibleRoots() {
    std::vector<std::uint64_t> roots;
    for (const auto& [serial, widget] : S().widgets) {
        if (widget.isRoot && widget.parent == 0 && widget.visible) roots.push_back(serial);
    }
    return roots;
}

void CollectVisible(std::uint64_t serial, std::vector<std::uint64_t>* out) {
    Widget* widget = WidgetOf(serial);
    if (widget == nullptr) return;
    for (std::uint64_t child : widget->children) {
        Widget* c = WidgetOf(child);
        if (c == nullptr || !c->visible) continue;
        out->push_back(child);
        CollectVisible(child, out);
    }
}

// The visible descendants of a window, top to bottom, then left to right.
std::vector<std::uint64_t> ScreenOrder(std::uint64_t root) {
    std::vector<std::uint64_t> order;
    CollectVisible(root, &order);
    std::stable_sort(order.begin(), order.end(), [](std::uint64_t a, std::uint64_t b) {
        const Widget& wa = *WidgetOf(a);
        const Widget& wb = *WidgetOf(b);
        if (wa.top != wb.top) return wa.top > wb.top;
        return wa.left < wb.left;
    });
    return order;
}

std::intptr_t Property(const Widget& widget, int property) {
    auto found = widget.properties.find(property);
    return found == widget.properties.end() ? 0 : found->second;
}

// The first visible button whose descriptor contains captionPart, in screen order.
std::uint64_t FindButton(const std::string& captionPart) {
    for (std::uint64_t root : VisibleRoots()) {
        for (std::uint64_t serial : ScreenOrder(root)) {
            const Widget& widget = *WidgetOf(serial);
            if (widget.widgetClass == xpWidgetClass_Button &&
                widget.descriptor.find(captionPart) != std::string::npos) {
                return serial;
            }
        }
    }
    return 0;
}

void ChangeState(std::uint64_t serial, int state) {
    WidgetOf(serial)->properties[xpProperty_ButtonState] = state;
    XPWidgetID button = HandleOf(serial);
    Send(serial, xpMsg_ButtonStateChanged, xpMode_UpChain, reinterpret_cast<std::intptr_t>(button),
         state);
}

const char* ClassName(int widgetClass) {
    switch (widgetClass) {
        case xpWidgetClass_MainWindow:
            return "window";
        case xpWidgetClass_SubWindow:
            return "subwindow";
        case xpWidgetClass_Button:
            return "button";
        case xpWidgetClass_TextField:
            return "textfield";
        case xpWidgetClass_ScrollBar:
            return "scrollbar";
        case xpWidgetClass_Caption:
            return "caption";
        case xpWidgetClass_GeneralGraphics:
            return "graphics";
        case xpWidgetClass_Progress:
            return "progress";
        default:
            return "widget";
    }
}

}  // namespace

void ResetWidgets() {
    S().widgets.clear();
}

}  // namespace detail

using detail::Property;
using detail::WidgetOf;

bool ClickButton(const std::string& captionPart) {
    std::uint64_t serial = detail::FindButton(captionPart);
    if (serial == 0) return false;
    const detail::Widget& button = *WidgetOf(serial);
    switch (Property(button, xpProperty_ButtonBehavior)) {
        case xpButtonBehaviorCheckBox:
            detail::ChangeState(serial, Property(button, xpProperty_ButtonState) != 0 ? 0 : 1);
            break;
        case xpButtonBehaviorRadioButton:
            if (Property(button, xpProperty_ButtonState) == 0) detail::ChangeState(serial, 1);
            break;
        default:
            detail::Send(serial, xpMsg_PushButtonPressed, xpMode_UpChain,
                         reinterpret_cast<std::intptr_t>(detail::HandleOf(serial)), 0);
            break;
    }
    return true;
}

bool SetCheckBox(const std::string& captionPart, int state) {
    std::uint64_t serial = detail::FindButton(captionPart);
    if (serial == 0) return false;
    const detail::Widget& button = *WidgetOf(serial);
    std::intptr_t behavior = Property(button, xpProperty_ButtonBehavior);
    if (behavior != xpButtonBehaviorCheckBox && behavior != xpButtonBehaviorRadioButton) {
        return false;
    }
    int wanted = state != 0 ? 1 : 0;
    if ((Property(button, xpProperty_ButtonState) != 0 ? 1 : 0) != wanted) {
        detail::ChangeState(serial, wanted);
    }
    return true;
}

int CheckBoxState(const std::string& captionPart) {
    std::uint64_t serial = detail::FindButton(captionPart);
    if (serial == 0) return -1;
    return Property(*WidgetOf(serial), xpProperty_ButtonState) != 0 ? 1 : 0;
}

bool PressCloseBox() {
    for (std::uint64_t root : detail::VisibleRoots()) {
        const detail::Widget& window = *WidgetOf(root);
        if (window.widgetClass == xpWidgetClass_MainWindow &&
            Property(window, xpProperty_MainWindowHasCloseBoxes) != 0) {
            detail::Send(root, xpMessage_CloseButtonPushed, xpMode_UpChain,
                         reinterpret_cast<std::intptr_t>(detail::HandleOf(root)), 0);
            return true;
        }
    }
    return false;
}

std::string WindowText() {
    std::string text;
    for (std::uint64_t root : detail::VisibleRoots()) {
        if (!text.empty()) text += '\n';
        text += WidgetOf(root)->descriptor + '\n';
        for (std::uint64_t serial : detail::ScreenOrder(root)) {
            text += WidgetOf(serial)->descriptor + '\n';
        }
    }
    return text;
}

std::string WidgetListText() {
    std::string text;
    auto describe = [&text](std::uint64_t serial) {
        const detail::Widget& widget = *WidgetOf(serial);
        text += std::string(detail::ClassName(widget.widgetClass)) + " \"" + widget.descriptor +
                "\" (" + std::to_string(widget.left) + "," + std::to_string(widget.top) + "," +
                std::to_string(widget.right) + "," + std::to_string(widget.bottom) + ")";
        if (widget.widgetClass == xpWidgetClass_Button &&
            Property(widget, xpProperty_ButtonBehavior) != xpButtonBehaviorPushButton) {
            text += " state " + std::to_string(Property(widget, xpProperty_ButtonState));
        }
        text += '\n';
    };
    for (std::uint64_t root : detail::VisibleRoots()) {
        describe(root);
        for (std::uint64_t serial : detail::ScreenOrder(root)) describe(serial);
    }
    return text;
}

int RootWidgetCount() {
    int count = 0;
    for (const auto& entry : detail::S().widgets) {
        if (entry.second.isRoot && entry.second.parent == 0) ++count;
    }
    return count;
}

}  // namespace xphost

using xphost::detail::S;
using xphost::detail::WidgetOf;

XPWidgetID XPCreateWidget(int inLeft, int inTop, int inRight, int inBottom, int inVisible,
                          const char* inDescriptor, int inIsRoot, XPWidgetID inContainer,
                          XPWidgetClass inClass) {
    auto& s = S();
    std::uint64_t parent = 0;
    if (inContainer != nullptr && WidgetOf(inContainer, &parent) == nullptr) parent = 0;
    std::uint64_t serial = s.nextSerial++;
    xphost::detail::Widget widget;
    widget.left = inLeft;
    widget.top = inTop;
    widget.right = inRight;
    widget.bottom = inBottom;
    widget.visible = inVisible != 0;
    widget.descriptor = inDescriptor != nullptr ? inDescriptor : "";
    widget.isRoot = inIsRoot != 0;
    widget.parent = parent;
    widget.widgetClass = inClass;
    s.widgets.emplace(serial, widget);
    if (parent != 0) WidgetOf(parent)->children.push_back(serial);
    return xphost::detail::HandleOf(serial);
}

void XPDestroyWidget(XPWidgetID inWidget, int inDestroyChildren) {
    std::uint64_t serial = 0;
    if (WidgetOf(inWidget, &serial) == nullptr) return;
    xphost::detail::Destroy(serial, inDestroyChildren != 0, false);
}

int XPSendMessageToWidget(XPWidgetID inWidget, XPWidgetMessage inMessage, XPDispatchMode inMode,
                          intptr_t inParam1, intptr_t inParam2) {
    std::uint64_t serial = 0;
    if (WidgetOf(inWidget, &serial) == nullptr) return 0;
    return xphost::detail::Send(serial, inMessage, inMode, inParam1, inParam2);
}

void XPShowWidget(XPWidgetID inWidget) {
    std::uint64_t serial = 0;
    auto* widget = WidgetOf(inWidget, &serial);
    if (widget == nullptr || widget->visible) return;
    widget->visible = true;
    xphost::detail::Send(serial, xpMsg_Shown, xpMode_UpChain, reinterpret_cast<intptr_t>(inWidget),
                         0);
}

void XPHideWidget(XPWidgetID inWidget) {
    std::uint64_t serial = 0;
    auto* widget = WidgetOf(inWidget, &serial);
    if (widget == nullptr || !widget->visible) return;
    widget->visible = false;
    xphost::detail::Send(serial, xpMsg_Hidden, xpMode_UpChain, reinterpret_cast<intptr_t>(inWidget),
                         0);
}

int XPIsWidgetVisible(XPWidgetID inWidget) {
    std::uint64_t serial = 0;
    if (WidgetOf(inWidget, &serial) == nullptr) return 0;
    return xphost::detail::Visible(serial) ? 1 : 0;
}

void XPSetWidgetDescriptor(XPWidgetID inWidget, const char* inDescriptor) {
    std::uint64_t serial = 0;
    auto* widget = WidgetOf(inWidget, &serial);
    if (widget == nullptr) return;
    widget->descriptor = inDescriptor != nullptr ? inDescriptor : "";
    xphost::detail::Send(serial, xpMsg_DescriptorChanged, xpMode_Direct, 0, 0);
}

int XPGetWidgetDescriptor(XPWidgetID inWidget, char* outDescriptor, int inMaxDescLength) {
    auto* widget = WidgetOf(inWidget);
    if (widget == nullptr) {
        if (outDescriptor != nullptr && inMaxDescLength > 0) outDescriptor[0] = '\0';
        return 0;
    }
    int length = static_cast<int>(widget->descriptor.size());
    if (outDescriptor != nullptr && inMaxDescLength > 0) {
        int copied = std::min(length, inMaxDescLength - 1);
        std::memcpy(outDescriptor, widget->descriptor.data(), static_cast<std::size_t>(copied));
        outDescriptor[copied] = '\0';
    }
    return length;
}

void XPSetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, intptr_t inValue) {
    std::uint64_t serial = 0;
    auto* widget = WidgetOf(inWidget, &serial);
    if (widget == nullptr) return;
    widget->properties[inProperty] = inValue;
    xphost::detail::Send(serial, xpMsg_PropertyChanged, xpMode_Direct, inProperty, inValue);
}

intptr_t XPGetWidgetProperty(XPWidgetID inWidget, XPWidgetPropertyID inProperty, int* inExists) {
    auto* widget = WidgetOf(inWidget);
    if (widget != nullptr) {
        auto found = widget->properties.find(inProperty);
        if (found != widget->properties.end()) {
            if (inExists != nullptr) *inExists = 1;
            return found->second;
        }
    }
    if (inExists != nullptr) *inExists = 0;
    return 0;
}

void XPAddWidgetCallback(XPWidgetID inWidget, XPWidgetFunc_t inNewCallback) {
    auto* widget = WidgetOf(inWidget);
    if (widget == nullptr || inNewCallback == nullptr) return;
    widget->callbacks.insert(widget->callbacks.begin(), inNewCallback);
}
