#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <random>
#include <string>
#include <vector>

#include "core/account_checks.h"
#include "core/message_page.h"
#include "ui/document_layout.h"
#include "ui/palette_colors.h"
#include "ui/table_layout.h"

namespace kavrel {
namespace {

// Rows of every kind the page has: short and wrapping subjects, words too long for their
// column, markup and non-Latin text from senders, empty fields, four accounts of unequal size.
std::string VariedPage(int rows) {
    std::mt19937 random(7);
    const std::vector<std::string> subjects = {
        "Hi",
        "A long subject that wraps when the window is narrow, as many do",
        "Unbreakable" + std::string(60, 'x'),
        "<b>not bold</b> & \"quoted\"",
        "J\xC3\xB6rg \xE2\x80\x94 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
        "",
        "Re: Re: Fwd: the quarterly figures are in",
    };
    TMailList list;
    for (int i = 0; i < rows; ++i) {
        PW_MAIL& m = AppendMail(list);
        m.AccountIndex = 1 + int(random() % 7) % 4;
        m.MailBox = "pop" + std::to_string(m.AccountIndex) + ".example.org->user";
        m.FromAddress = i % 5 == 0 ? "" : "someone" + std::string(random() % 30, 'e') + "@x.org";
        m.FoundAt = "10:15a";
        m.SentAt = i % 3 ? "12/1/2026 9:03a" : "9:03a";
        m.Size = std::int32_t(random() % 100000000);
        m.Subject = subjects[random() % subjects.size()];
    }
    TAccountChecks checks;
    checks[3].Failed = true;
    checks[3].FailedAt = "9:00a 12/9/2026";
    std::string page;
    BuildMessagePage(
        list, TPaletteColors{}, *TryEncodeDate(2026, 12, 9),
        [&](const std::string& p) { page = p; }, checks);
    return page;
}

QImage Band(TPageLayout& layout, int width, int top, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    layout.Draw(painter, QRect(0, top, width, height), QPoint(0, -top));
    return image;
}

// A row's words as a reader copies them: a new line where a cell or a line changes.
std::string RowText(const std::vector<TTextBox>& boxes) {
    std::string text;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (i > 0 && (boxes[i].cell != boxes[i - 1].cell ||
                      boxes[i].rect.top() != boxes[i - 1].rect.top())) {
            text += '\n';
        }
        text += boxes[i].text.toStdString();
    }
    return text;
}

// The long table laid out a few rows at a time, in whatever order the view asks for them,
// paints, places and copies every word exactly as the whole document does.
TEST(TableLayout, ShowsThePageExactlyAsTheWholeDocument) {
    struct TCase {
        int rows;
        int width;
        int band;  // the view's height
    };
    for (const TCase c :
         {TCase{0, 700, 300}, TCase{600, 700, 500}, TCase{600, 480, 333}, TCase{300, 200, 250}}) {
        SCOPED_TRACE(std::to_string(c.rows) + " rows at " + std::to_string(c.width));
        const std::string page = VariedPage(c.rows);
        TPageEngine engine;
        engine.SetLinkColour("#c00030");
        engine.container.SetClientSize(QSize(c.width, c.band));
        const std::unique_ptr<TTableLayout> table = TTableLayout::Create(engine, page);
        ASSERT_TRUE(table);
        TDocumentLayout whole(engine, page);
        table->Render(c.width);
        whole.Render(c.width);
        ASSERT_EQ(table->Size(), whole.Size());

        // Bands from the bottom up, then jumps, each followed by the trim the viewer does.
        const int height = whole.Size().height();
        std::vector<int> tops;
        for (int top = height - c.band; top > -c.band; top -= c.band) tops.push_back(top);
        std::mt19937 random(3);
        for (int i = 0; i < 20; ++i) tops.push_back(int(random() % unsigned(height)));
        for (const int top : tops) {
            EXPECT_TRUE(Band(*table, c.width, top, c.band) == Band(whole, c.width, top, c.band))
                << "band at " << top;
            table->Trim(top, top + c.band);
        }
        EXPECT_FALSE(table->Failed());

        const std::vector<TTextBox>& all = whole.AllBoxes();
        const std::vector<TTextBox>& sliced = table->AllBoxes();
        ASSERT_EQ(sliced.size(), all.size());
        for (std::size_t i = 0; i < all.size(); ++i) {
            ASSERT_EQ(sliced[i].text, all[i].text) << i;
            ASSERT_EQ(sliced[i].rect, all[i].rect) << i;
            ASSERT_EQ(sliced[i].row, all[i].row) << i;
        }
        // Rows far from the view copy as they would show, without being laid out.
        std::vector<std::vector<TTextBox>> rows(std::size_t(table->ChunkCount()));
        for (const TTextBox& box : all) rows[std::size_t(box.row)].push_back(box);
        table->Trim(0, 0);
        for (int r = 0; r < table->ChunkCount(); ++r) {
            ASSERT_EQ(RowText(table->TextBoxes(r)), RowText(rows[std::size_t(r)])) << "row " << r;
        }
    }
}

}  // namespace
}  // namespace kavrel
