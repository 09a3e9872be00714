// Every caption of the window and its dialogs is whole at the default size, in both languages.
#include <QAbstractButton>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"
#include "window/AboutDialog.h"
#include "window/CredentialsDialog.h"
#include "window/TemplateLabel.h"
#include "window/WindowTexts.h"

namespace {

// The text's width in the widget's font against the room the widget gives it; "" when it fits.
std::string clipped(const QWidget* w, const QString& text, int room) {
    const QFontMetrics metrics(w->font());
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest <= room)
        return {};
    return w->objectName().toStdString() + " \"" + text.toStdString() + "\" needs " + std::to_string(widest) +
           " px, has " + std::to_string(room);
}

std::vector<std::string> clippedTexts(const QWidget& top) {
    std::vector<std::string> found;
    for (const QLabel* label : top.findChildren<QLabel*>()) {
        if (label->text().isEmpty() || !label->isVisibleTo(&top))
            continue;
        if (auto* t = qobject_cast<const TemplateLabel*>(label)) {
            if (!t->TextFits())
                found.push_back(t->objectName().toStdString() + " \"" + t->text().toStdString() + "\" needs " +
                                std::to_string(t->LinesNeeded()) + " lines of " +
                                std::to_string(t->fontMetrics().height()) + " px, has " +
                                std::to_string(t->contentsRect().height()) + " px of " +
                                std::to_string(t->contentsRect().width()));
        } else if (auto why = clipped(label, label->text(), label->contentsRect().width()); !why.empty()) {
            found.push_back(why);
        }
    }
    for (const QAbstractButton* button : top.findChildren<QAbstractButton*>()) {
        if (button->text().isEmpty() || !button->isVisibleTo(&top))
            continue;
        // The frame and the style's margins take a few pixels on each side.
        if (auto why = clipped(button, button->text(), button->width() - 8); !why.empty())
            found.push_back(why);
    }
    return found;
}

// "Network Card" showed as "Network", "Firmware Version" as "Firmware", 登录名 as 登录, and the
// Chinese description lost its sixth line.
TEST(TextsFitTest, EveryCaptionOfTheWindowAndItsDialogsIsWhole) {
    for (unsigned codePage : {437u, 936u}) {
        SCOPED_TRACE(codePage);
        GuiFixture f(codePage);
        for (const std::string& why : clippedTexts(*f.window))
            ADD_FAILURE() << why;
        const CredentialsDialog login(StoredLogin{"admin", "bzfhk"}, f.window.get());
        for (const std::string& why : clippedTexts(login))
            ADD_FAILURE() << why;
        const AboutDialog about(nullptr, f.window.get());
        for (const std::string& why : clippedTexts(about))
            ADD_FAILURE() << why;
        // The lifted model guard is the one note that stays; alone it must be read whole.
        const auto* note = f.Find<QLabel>("labelNote");
        EXPECT_EQ(clipped(note, caption::kGuardLifted.Tr(), note->contentsRect().width()), "");
    }
}

// The countdown "System rebooting, please wait for 54 Seconds" was cut, and a horizontal scroll
// bar showed although every column could fit; scrolling it only hid Idx.
TEST(TextsFitTest, TheListsColumnsFitWithoutAHorizontalScrollBar) {
    for (unsigned codePage : {437u, 936u}) {
        SCOPED_TRACE(codePage);
        GuiFixture f(codePage);
        for (std::uint8_t i = 1; i <= 40; ++i) // enough for a vertical scroll bar
            f.AddCamera("IPC-Warehouse-" + std::to_string(i), {192, 168, 100, i}, i);
        f.SetStatus(0, *Status::Of(CameraView{Phase::ResetRebooting, 54}), false);
        auto* list = f.Find<QTableView>("listDevices");
        GuiFixture::Settle();
        ASSERT_TRUE(list->verticalScrollBar()->isVisible());
        EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
        int total = 0;
        for (int c = 0; c < kColumnCount; ++c)
            total += list->columnWidth(c);
        EXPECT_LE(total, list->viewport()->width());
        const QFontMetrics metrics(list->font());
        for (int c = 0; c < kColumnCount; ++c) {
            const QModelIndex cell = list->model()->index(0, c);
            // The delegate's margins are a few pixels on each side.
            EXPECT_LE(metrics.horizontalAdvance(cell.data().toString()) + 6, list->visualRect(cell).width())
                << cell.data().toString().toStdString();
            const QString title = list->model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_LE(list->horizontalHeader()->sectionSizeHint(c), list->columnWidth(c)) << title.toStdString();
        }
    }
}

} // namespace
