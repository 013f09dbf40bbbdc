#include "check/name_suggestions.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace corvane_check {

std::vector<std::string> KnownNames;

namespace {

constexpr size_t kFewestAllowed = 2;  // letters a name may be off by, for short names
constexpr size_t kMostAllowed = 6;    // and for long ones
constexpr size_t kLettersPerEdit = 5;

size_t Allowance(const std::string& name) {
    return std::min(kMostAllowed, std::max(kFewestAllowed, name.size() / kLettersPerEdit));
}

// The edit distance of a and b (letters replaced, inserted or deleted), or limit + 1 when it is
// above limit. Only the band of width 2 * limit + 1 around the diagonal is computed.
size_t BoundedDistance(const std::string& a, const std::string& b, size_t limit) {
    const size_t n = a.size(), m = b.size();
    if (std::max(n, m) - std::min(n, m) > limit) return limit + 1;
    const size_t over = limit + 1;
    std::vector<size_t> previous(m + 1, over), current(m + 1, over);
    for (size_t j = 0; j <= std::min(m, limit); ++j) previous[j] = j;
    for (size_t i = 1; i <= n; ++i) {
        const size_t from = i - std::min(i, limit);
        const size_t to = std::min(m, i + limit);
        // Cells just outside the band read as too far.
        if (from > 0) current[from - 1] = over;
        if (to < m) current[to + 1] = over;
        if (from == 0) current[0] = i;
        size_t best = from == 0 ? i : over;
        for (size_t j = std::max<size_t>(from, 1); j <= to; ++j) {
            const size_t replace = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            const size_t remove = previous[j] + 1;
            const size_t insert = current[j - 1] + 1;
            current[j] = std::min(over, std::min(replace, std::min(remove, insert)));
            best = std::min(best, current[j]);
        }
        if (best > limit) return over;
        std::swap(previous, current);
    }
    return std::min(previous[m], over);
}

std::string LastPart(const std::string& name) {
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

std::vector<std::string> ClosestNames(const std::string& name,
                                      const std::vector<std::string>& known, size_t most) {
    const size_t limit = Allowance(name);
    const std::string last = LastPart(name);
    std::vector<std::pair<size_t, const std::string*>> found;
    for (const std::string& candidate : known) {
        if (candidate == name) continue;
        size_t distance = BoundedDistance(name, candidate, limit);
        // The same last part in another folder counts as just within the allowance.
        if (LastPart(candidate) == last) distance = std::min(distance, limit);
        if (distance <= limit) found.emplace_back(distance, &candidate);
    }
    std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) {
        return std::tie(x.first, *x.second) < std::tie(y.first, *y.second);
    });
    // Names much farther off than the best one would only distract from it.
    std::vector<std::string> names;
    for (const auto& f : found) {
        if (names.size() >= most || f.first > found[0].first + 1) break;
        if (std::find(names.begin(), names.end(), *f.second) == names.end())
            names.push_back(*f.second);
    }
    return names;
}

std::string DidYouMean(const std::vector<std::string>& names) {
    if (names.empty()) return std::string();
    std::string text = "; did you mean " + names[0];
    for (size_t k = 1; k < names.size(); ++k)
        text += (k + 1 == names.size() ? " or " : ", ") + names[k];
    return text + "?";
}

}  // namespace corvane_check
