#include "net/http/uri.h"

#include <algorithm>

namespace kavrel {
namespace {

struct TPathParts {
    std::string Path;
    std::string Document;
    std::string Params;
};

// The query starts at the first "?"; a text without one is taken to start its parameters at
// the first "=", so that "a/b=c/d" keeps "c/d" out of the path.
TPathParts SplitPath(std::string_view t) {
    auto q = t.find('?');
    if (q == std::string_view::npos) q = t.find('=');
    const std::string_view head = q == std::string_view::npos ? t : t.substr(0, q);
    const auto slash = head.rfind('/');
    TPathParts parts;
    const std::size_t pathEnd = slash == std::string_view::npos ? 0 : slash + 1;
    parts.Path = std::string(t.substr(0, pathEnd));
    parts.Document = std::string(head.substr(pathEnd));
    if (q != std::string_view::npos) parts.Params = std::string(t.substr(q));
    return parts;
}

// Text before the first delimiter; the whole text when there is none.
std::string_view Before(std::string_view text, char delimiter) {
    return text.substr(0, text.find(delimiter));
}

std::string_view After(std::string_view text, char delimiter) {
    const auto at = text.find(delimiter);
    return at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
}

}  // namespace

void TURI::ParseUri(std::string_view AText) {
    // UTF-8 has no byte that could be mistaken for a backslash inside a character.
    std::string text(AText);
    std::replace(text.begin(), text.end(), '\\', '/');
    *this = TURI{};

    const auto scheme = text.find("://");
    TPathParts parts;
    if (scheme == std::string::npos) {
        parts = SplitPath(text);
    } else {
        Protocol = text.substr(0, scheme);
        std::string_view rest = std::string_view(text).substr(scheme + 3);
        const auto slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        const std::string_view remainder =
            slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        const auto at = authority.find('@');
        if (at != std::string_view::npos) {
            const std::string_view credentials = authority.substr(0, at);
            UserName = std::string(Before(credentials, ':'));
            if (!UserName.empty()) Password = std::string(After(credentials, ':'));
            authority.remove_prefix(at + 1);
        }
        Host = std::string(Before(authority, ':'));
        Port = std::string(After(authority, ':'));
        parts = SplitPath(remainder);
        parts.Path.insert(0, "/");
    }
    Path = std::move(parts.Path);
    Document = std::move(parts.Document);
    Params = std::move(parts.Params);
    // A bookmark belongs to the reader of the page and is never part of a request.
    if (const auto hash = Document.find('#'); hash != std::string::npos) {
        Bookmark = Document.substr(hash + 1);
        Document.erase(hash);
    } else if (const auto inParams = Params.find('#'); inParams != std::string::npos) {
        Bookmark = Params.substr(inParams + 1);
        Params.erase(inParams);
    }
}

std::string CombinePath(std::string_view ABase, std::string_view APath) {
    if (APath.starts_with('/')) return std::string(APath);
    const bool keepSlash = APath.empty() || APath.ends_with('/');
    std::string joined;
    if (ABase.empty()) {
        joined = std::string(APath);
    } else {
        while (ABase.ends_with('/')) ABase.remove_suffix(1);
        joined = std::string(ABase) + "/" + std::string(APath);
    }

    std::string result;
    for (std::size_t i = 0; i < joined.size(); ++i) {
        const char c = joined[i];
        if (c == '/') {
            if (i == 0)
                result = "/";
            else if (!result.ends_with('/'))
                result += '/';
            continue;
        }
        // Only a whole ".." segment climbs; "..x" is a name like any other.
        const bool dotDot = i > 0 && joined[i - 1] == '/' && joined.compare(i, 2, "..") == 0 &&
                            (i + 2 == joined.size() || joined[i + 2] == '/');
        if (dotDot) {
            if (result.size() > 1 && result.ends_with('/')) {
                result.pop_back();
                const auto slash = result.rfind('/');
                result.erase(slash == std::string::npos ? 0 : slash + 1);
            }
            ++i;
            continue;
        }
        result += c;
    }
    if (result != "/" && result.ends_with('/') && !keepSlash) result.pop_back();
    return result;
}

}  // namespace kavrel
