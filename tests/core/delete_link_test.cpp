#include "core/delete_link.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavrel {
namespace {

TEST(DeleteLink, Parsing) {
    struct {
        const char* src;
        std::optional<std::int32_t> row;
    } const rows[] = {
        {"delete?3", 3},
        {"delete?x", 0},
        {"delete?0", 0},
        {"delete?-2", -2},
        {"Delete?3", std::nullopt},
        {"deletex5", 5},
        {"delete?12", 12},
        {"delete", 0},
        {"delete?", 0},
        {"delete?3x", 0},
        {"delete?$A", 0},
        {"delete?0x1", 0},
        {"delete? 3", 0},
        {"delete?99999999999", 0},
        {"", std::nullopt},
        {"delet", std::nullopt},
        {"http://example.org/", std::nullopt},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(DeleteLinkRow(r.src), r.row) << r.src;
        std::vector<std::int32_t> deleted;
        const bool handled =
            ActOnDeleteLink(r.src, [&](std::int32_t row) { deleted.push_back(row); });
        EXPECT_EQ(handled, r.row.has_value()) << r.src;
        const bool deletes = r.row && *r.row > 0;
        EXPECT_EQ(deleted,
                  deletes ? std::vector<std::int32_t>{*r.row} : std::vector<std::int32_t>{})
            << r.src;
    }
}

}  // namespace
}  // namespace kavrel
