#include "net/mail/header_list.h"

#include <algorithm>
#include <cstdint>

#include "base/strings.h"

namespace kavrel {
namespace {

unsigned char UpperByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'a' && u <= 'z' ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

// FNV-1a over the upper-cased bytes: names SameText holds equal hash equal.
std::uint64_t HashText(std::string_view text) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : text) hash = (hash ^ UpperByte(c)) * 1099511628211u;
    return hash;
}

// A total order in which the names SameText holds equal are neighbours.
int CompareText(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = UpperByte(a[i]);
        const unsigned char y = UpperByte(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

}  // namespace

std::string FieldNameOf(std::string_view line) {
    const auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string() : UpperCase(line.substr(0, colon));
}

void THeaderList::Add(std::string line) {
    if (line.empty()) return;
    lines_.push_back(std::move(line));
    indexed_ = false;
}

void THeaderList::Clear() {
    lines_.clear();
    indexed_ = false;
}

// Ordered by hash first: names are compared only where hashes meet, and a server that sends
// names of one hash on purpose gets n log n comparisons, never a quadratic search.
int THeaderList::Compare(const TFirstLine& f, std::uint64_t hash, std::string_view name) const {
    if (f.hash != hash) return f.hash < hash ? -1 : 1;
    return CompareText(NameOf(f), name);
}

const std::vector<THeaderList::TFirstLine>& THeaderList::Index() const {
    if (indexed_) return index_;
    index_.clear();
    index_.reserve(lines_.size());
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        // Continuation lines too: a lookup has always matched them by the text before a colon.
        const auto colon = lines_[i].find(':');
        if (colon == std::string::npos) continue;
        index_.push_back({HashText(std::string_view(lines_[i]).substr(0, colon)), i, colon});
    }
    // Of the lines of one name the first comes first, and is the one kept.
    std::sort(index_.begin(), index_.end(), [this](const TFirstLine& a, const TFirstLine& b) {
        if (a.hash != b.hash) return a.hash < b.hash;
        const int c = CompareText(NameOf(a), NameOf(b));
        return c != 0 ? c < 0 : a.line < b.line;
    });
    index_.erase(std::unique(index_.begin(), index_.end(),
                             [this](const TFirstLine& a, const TFirstLine& b) {
                                 return a.hash == b.hash && CompareText(NameOf(a), NameOf(b)) == 0;
                             }),
                 index_.end());
    indexed_ = true;
    return index_;
}

std::string THeaderList::HeaderValue(std::string_view name) const {
    const auto& index = Index();
    const std::uint64_t hash = HashText(name);
    const auto found = std::lower_bound(
        index.begin(), index.end(), name,
        [&](const TFirstLine& f, std::string_view key) { return Compare(f, hash, key) < 0; });
    if (found == index.end() || Compare(*found, hash, name) != 0) return {};
    const std::size_t i = found->line;
    // Built in place: copying the value at every continuation line made a long fold quadratic.
    std::string value = Trim(std::string_view(lines_[i]).substr(found->nameLength + 1));
    for (std::size_t j = i + 1; j < lines_.size(); ++j) {
        const char first = lines_[j].front();
        if (first != ' ' && first != '\t') break;
        while (!value.empty() && IsBlank(value.back())) value.pop_back();
        if (!value.empty()) value += ' ';
        value += Trim(lines_[j]);
    }
    while (!value.empty() && IsBlank(value.back())) value.pop_back();
    return value;
}

}  // namespace kavrel
