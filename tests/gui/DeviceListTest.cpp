// The device list: live rows, red Status cell, busy refusal, Control-A, double-click, sorting.
#include <QAbstractItemModelTester>
#include <QBrush>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"
#include "window/Contrast.h"

namespace {

QTableView* listOf(GuiFixture& f) {
    return f.Find<QTableView>("listDevices");
}

QPoint cellCentre(QTableView* list, int row, int column) {
    return list->visualRect(list->model()->index(row, column)).center();
}

void clickHeader(QTableView* list, int column) {
    QHeaderView* header = list->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    GuiFixture::Settle();
}

TEST(DeviceListTest, RowsFollowTheControllerAndPassTheModelTester) {
    GuiFixture f(437);
    QAbstractItemModelTester tester(listOf(f)->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    f.AddCamera("alpha", {192, 168, 0, 20}, 1);
    f.AddCamera("bravo", {192, 168, 0, 21}, 2);
    QAbstractItemModel* model = listOf(f)->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(0, 1).data().toString(), "alpha");
    EXPECT_EQ(model->index(1, 2).data().toString(), "192.168.0.21");
    EXPECT_EQ(model->index(1, 3).data().toString(), "00:1a:2b:3c:4d:02");
    f.SetStatus(1, "File Uploading...", false);
    EXPECT_EQ(model->index(1, 4).data().toString(), "File Uploading...");
    f.window->Controller().Discovery().List().DeleteAllItems();
    GuiFixture::Settle();
    EXPECT_EQ(model->rowCount(), 0);
}

TEST(DeviceListTest, AJobsWritesArePaintedOnceAFrameAndOnlyInTheCellsTheyChanged) {
    GuiFixture f(437);
    for (std::uint8_t i = 1; i <= 3; ++i)
        f.AddCamera("cam" + std::to_string(i), {192, 168, 0, static_cast<std::uint8_t>(20 + i)}, i);
    QAbstractItemModel* model = listOf(f)->model();
    QSignalSpy spy(model, &QAbstractItemModel::dataChanged);
    ListModel& list = f.window->Controller().Discovery().List();
    // Two cameras upload as fast as a job reports, the window turning its loop between reports.
    QElapsedTimer took;
    took.start();
    constexpr int kWrites = 200;
    for (int i = 1; i <= kWrites; ++i) {
        const double share = i / double(kWrites);
        list.SetStatus(list.Row(0)->mac(), Text("File Uploading... " + std::to_string(i)), share);
        list.SetStatus(list.Row(1)->mac(), Text("File Uploading... " + std::to_string(i)), share);
        QApplication::processEvents();
    }
    const qint64 frames = took.elapsed() / 16 + 2;
    QTest::qWait(50);
    EXPECT_EQ(model->index(0, StatusColumn).data().toString(), "File Uploading... 200");
    EXPECT_DOUBLE_EQ(model->index(1, StatusColumn).data(DeviceListModel::ProgressRole).toDouble(), 1.0);
    EXPECT_LE(spy.count(), 2 * frames) << "in " << took.elapsed() << " ms";
    for (const QList<QVariant>& signal : spy) {
        const auto from = signal[0].value<QModelIndex>(), to = signal[1].value<QModelIndex>();
        EXPECT_EQ(from, to);
        EXPECT_EQ(from.column(), StatusColumn);
        EXPECT_LT(from.row(), 2);
    }
}

TEST(DeviceListTest, OnlyTheStatusCellOfAFailedCameraIsRed) {
    GuiFixture f(437);
    f.AddCamera("alpha", {192, 168, 0, 20}, 1);
    f.AddCamera("bravo", {192, 168, 0, 21}, 2);
    f.SetStatus(0, "401 Unauthorized", true);
    QAbstractItemModel* model = listOf(f)->model();
    EXPECT_EQ(model->index(0, 4).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(255, 0, 0));
    for (int c = 0; c < 4; ++c)
        EXPECT_FALSE(model->index(0, c).data(Qt::ForegroundRole).isValid()) << c;
    EXPECT_FALSE(model->index(1, 4).data(Qt::ForegroundRole).isValid());
    f.SetStatus(0, "UPGRADE SUCCESSFUL", false);
    EXPECT_FALSE(model->index(0, 4).data(Qt::ForegroundRole).isValid());
}

TEST(DeviceListTest, ClickSelectsWhenIdleAndNothingWhileBusy) {
    GuiFixture f(437);
    f.AddCamera("alpha", {192, 168, 0, 20}, 1);
    f.AddCamera("bravo", {192, 168, 0, 21}, 2);
    QTableView* list = listOf(f);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cellCentre(list, 1, 1));
    EXPECT_EQ(f.window->SelectedRows(), std::vector<int>{1});
    f.window->Controller().EnableControls(false);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cellCentre(list, 0, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(list, 0, 1));
    QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    list->selectAll();
    EXPECT_EQ(f.window->SelectedRows(), std::vector<int>{1});
    // Every job ended by deselecting all rows, so a camera to try again had to be found again.
    f.window->Controller().EnableControls(true);
    GuiFixture::Settle();
    EXPECT_EQ(f.window->SelectedRows(), std::vector<int>{1}) << "the end of a job keeps the selection";
    f.window->Controller().OnSearch();
    GuiFixture::Settle();
    EXPECT_TRUE(f.window->SelectedRows().empty()) << "a search empties the list and the selection with it";
}

// Control-A in the password field once selected every camera, and the next Reset Default reset them all.
TEST(DeviceListTest, ControlASelectsEveryRowFromTheListOrTheWindowButNotFromATextField) {
    GuiFixture f(437);
    QTest::keyClick(listOf(f), Qt::Key_A, Qt::ControlModifier); // empty list: no effect
    EXPECT_TRUE(f.window->SelectedRows().empty());
    for (std::uint8_t i = 1; i <= 3; ++i)
        f.AddCamera("cam", {10, 0, 0, i}, i);
    for (const char* field : {"editUser", "editPassword", "editPath"}) {
        auto* edit = f.Find<QLineEdit>(field);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        EXPECT_TRUE(f.window->SelectedRows().empty()) << field;
        EXPECT_EQ(edit->selectedText(), edit->text()) << field << ": the field's own text is selected";
    }
    auto* search = f.Find<QPushButton>("buttonSearch");
    search->setFocus();
    QTest::keyClick(search, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.window->SelectedRows(), (std::vector<int>{0, 1, 2})) << "the window has the focus";
    listOf(f)->clearSelection();
    listOf(f)->setFocus();
    QTest::keyClick(listOf(f), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.window->SelectedRows(), (std::vector<int>{0, 1, 2})) << "the list has the focus";
}

// The selection's colour hid the red failure and the progress bar for the whole job.
TEST(DeviceListTest, ASelectedRowStillShowsItsRedFailureAndItsProgress) {
    GuiFixture f(437);
    f.AddCamera("failed", {10, 0, 0, 1}, 1);
    f.AddCamera("running", {10, 0, 0, 2}, 2);
    f.SetStatus(0, "401 Unauthorized", true);
    f.SetStatus(1, *Status::Of(CameraView{Phase::Burning, 60}), false);
    QTableView* list = listOf(f);
    list->selectAll();
    GuiFixture::Settle();
    const QImage shot = list->viewport()->grab().toImage();
    auto count = [&](int row, double fromShare, double toShare, auto test) {
        const QRect cell = list->visualRect(list->model()->index(row, StatusColumn));
        int hits = 0;
        // The last column reaches past the viewport's edge.
        const int end = std::min(shot.width(), cell.left() + static_cast<int>(cell.width() * toShare));
        for (int x = cell.left() + static_cast<int>(cell.width() * fromShare); x < end; ++x)
            for (int y = cell.top() + 3; y < cell.bottom() - 2; ++y)
                hits += test(shot.pixelColor(x, y));
        return hits;
    };
    auto red = [](const QColor& c) { return c.red() > c.green() + 100 && c.red() > c.blue() + 100; };
    auto barOverSelection = [](const QColor& c) { return c.green() > c.blue() + 10; };
    EXPECT_GT(count(0, 0.0, 0.5, red), 5) << "red text on the selected failed row";
    EXPECT_GT(count(1, 0.45, 0.58, barOverSelection), 20) << "the bar over the selection colour";
    EXPECT_EQ(count(1, 0.65, 0.95, barOverSelection), 0) << "the bar ends at its share";

    // Pure red on the selection's blue read at about 1.1:1. The glyphs' fullest pixels are the text's
    // colour; the cell's commonest pixel is the selection's.
    const QColor selection = list->palette().color(QPalette::Active, QPalette::Highlight);
    const QRect cell = list->visualRect(list->model()->index(0, StatusColumn));
    double best = 1.0;
    int background = 0;
    for (int x = cell.left() + 2; x < std::min(shot.width(), cell.right()); ++x)
        for (int y = cell.top() + 2; y < cell.bottom() - 1; ++y) {
            const QColor c = shot.pixelColor(x, y);
            background += c.rgb() == selection.rgb();
            if (red(c))
                best = std::max(best, ContrastRatio(c, selection));
        }
    EXPECT_GT(background, cell.width() * cell.height() / 2)
        << "the cell shows the selection's colour " << selection.name().toStdString() << ", not "
        << shot.pixelColor(cell.right() - 3, cell.center().y()).name().toStdString();
    EXPECT_GE(best, kReadableContrast) << "the red Status on the selection";
    EXPECT_GE(ContrastRatio(list->palette().color(QPalette::Active, QPalette::HighlightedText), selection),
              kReadableContrast)
        << "the other cells' text on the selection";
}

// Whatever the desktop's colours, the red of a failure stays readable on a selection.
TEST(DeviceListTest, ReadableRedOnEverySelectionColour) {
    const QColor red(255, 0, 0);
    for (const QColor& background :
         {QColor(48, 140, 198), QColor(53, 132, 228), QColor(0, 120, 215), QColor(204, 232, 255), QColor(38, 79, 120),
          QColor(255, 255, 255), QColor(30, 30, 30), QColor(128, 128, 128)}) {
        const QColor readable = ReadableOn(red, background);
        EXPECT_GE(ContrastRatio(readable, background), kReadableContrast) << background.name().toStdString();
        EXPECT_GE(readable.red(), readable.green()) << "still a red: " << readable.name().toStdString();
    }
    EXPECT_EQ(ReadableOn(QColor(0, 0, 0), QColor(255, 255, 255)), QColor(0, 0, 0)) << "readable stays as it is";
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    for (const QColor& base : {QColor(255, 255, 255), QColor(30, 30, 30)}) {
        QPalette p;
        p.setColor(QPalette::Base, base);
        p.setColor(QPalette::Text, base.lightness() > 128 ? QColor(0, 0, 0) : QColor(230, 230, 230));
        p.setColor(QPalette::Highlight, QColor(48, 140, 198));
        const QPalette tinted = SelectionPalette(p);
        EXPECT_GE(ContrastRatio(tinted.color(QPalette::HighlightedText), tinted.color(QPalette::Highlight)),
                  kReadableContrast)
            << "text on the selection over base " << base.name().toStdString();
    }
}

// The header showed no arrow, so nothing told which column the rows were sorted by.
TEST(DeviceListTest, TheSortArrowShowsTheOrderTheRowsStandIn) {
    GuiFixture f(437);
    f.AddCamera("alpha", {192, 168, 0, 20}, 1);
    f.AddCamera("bravo", {192, 168, 0, 21}, 2);
    QTableView* list = listOf(f);
    QHeaderView* header = list->horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), -1) << "the order of replies is no sort";
    clickHeader(list, 1);
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "alpha");
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    clickHeader(list, 1);
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "bravo");
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(list, 2);
    EXPECT_EQ(list->model()->index(0, 2).data().toString(), "192.168.0.20");
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    clickHeader(list, StatusColumn); // no order of its own: the rows keep theirs, and so does the arrow
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    f.window->Controller().EnableControls(false);
    clickHeader(list, 1); // refused while busy
    EXPECT_EQ(header->sortIndicatorSection(), 2);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    f.window->Controller().EnableControls(true);
    f.AddCamera("charlie", {192, 168, 0, 2}, 3);
    EXPECT_EQ(header->sortIndicatorSection(), -1) << "a new reply stands at the end, out of the order";
}

TEST(DeviceListTest, TheNoteLineAndATypedPathKeepTheWindowTruthful) {
    GuiFixture f(437);
    f.window->ShowNote("Waiting for 192.168.0.1 to answer after the network card was restored...");
    GuiFixture::Settle();
    auto* note = f.Find<QLabel>("labelNote");
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->toolTip().startsWith(QStringLiteral("Waiting for 192.168.0.1")));
    EXPECT_TRUE(note->isVisible());
    f.window->ShowNote("");
    GuiFixture::Settle();
    EXPECT_TRUE(note->text().isEmpty());

    QTemporaryDir dir;
    QByteArray header(100, '\0');
    header.replace(24, 3, "107");
    header.replace(68, 4, "KX77");
    QFile image(dir.filePath(QStringLiteral("typed.bin")));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(header);
    image.close();
    auto* path = f.Find<QLineEdit>("editPath");
    path->setFocus();
    QTest::keyClicks(path, dir.filePath(QStringLiteral("typed.bin")));
    GuiFixture::Settle();
    EXPECT_EQ(f.Text("editVersion"), "V1.07");
    EXPECT_EQ(f.Text("editModel"), "KX77");
    QTest::keyClick(path, Qt::Key_Backspace);
    GuiFixture::Settle();
    EXPECT_EQ(f.Text("editVersion"), "") << "a path that names no image shows no version";
}

TEST(DeviceListTest, ColumnClickSortsWhenIdleOnly) {
    GuiFixture f(437);
    f.AddCamera("alpha", {192, 168, 0, 20}, 1);
    f.AddCamera("bravo", {192, 168, 0, 21}, 2);
    QTableView* list = listOf(f);
    f.window->Controller().EnableControls(false);
    clickHeader(list, 1);
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "alpha");
    f.window->Controller().EnableControls(true);
    clickHeader(list, 1);
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "alpha");
    clickHeader(list, 1);
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "bravo");
}

// After a job, a click on "Name" emptied every Status cell, took the red off the failed rows and
// dropped the selection: nothing said which cameras had failed.
TEST(DeviceListTest, SortingAfterAJobKeepsEachRowsResultColourAndSelection) {
    GuiFixture f(437);
    f.AddCamera("delta", {192, 168, 0, 24}, 1);
    f.AddCamera("bravo", {192, 168, 0, 22}, 2);
    f.AddCamera("charlie", {192, 168, 0, 23}, 3);
    f.AddCamera("alpha", {192, 168, 0, 21}, 4);
    f.SetStatus(0, "401 Unauthorized", true);
    f.SetStatus(1, "UPGRADE SUCCESSFUL", false);
    f.SetStatus(2, "Failed to upgrade!", true);
    f.SetStatus(3, "UPGRADE SUCCESSFUL", false);
    QTableView* list = listOf(f);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cellCentre(list, 0, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(list, 2, 1));
    ASSERT_EQ(f.window->SelectedRows(), (std::vector<int>{0, 2}));
    clickHeader(list, 1);
    QAbstractItemModel* model = list->model();
    const std::pair<const char*, const char*> expected[] = {{"alpha", "UPGRADE SUCCESSFUL"},
                                                            {"bravo", "UPGRADE SUCCESSFUL"},
                                                            {"charlie", "Failed to upgrade!"},
                                                            {"delta", "401 Unauthorized"}};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(expected[row].first);
        EXPECT_EQ(model->index(row, 1).data().toString(), expected[row].first);
        EXPECT_EQ(model->index(row, StatusColumn).data().toString(), expected[row].second);
        const bool red = row >= 2;
        EXPECT_EQ(model->index(row, StatusColumn).data(Qt::ForegroundRole).isValid(), red);
        if (red) {
            EXPECT_EQ(model->index(row, StatusColumn).data(Qt::ForegroundRole).value<QBrush>().color(),
                      QColor(255, 0, 0));
        }
    }
    EXPECT_EQ(f.window->SelectedRows(), (std::vector<int>{2, 3})) << "the selection stays on delta and charlie";
}

TEST(DeviceListTest, DoubleClickOpensTheCameraPage) {
    GuiFixture f(437);
    f.AddCamera("plain", {192, 168, 1, 64}, 1, 80);
    f.AddCamera("ported", {192, 168, 1, 65}, 2, 8080);
    f.AddCamera("odd", {192, 168, 1, 66}, 3, 65536);
    QTableView* list = listOf(f);
    for (int row = 0; row < 3; ++row)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cellCentre(list, row, 2));
    f.window->Controller().EnableControls(false); // still works while busy
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cellCentre(list, 1, 0));
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 3));
    GuiFixture::Settle();
    EXPECT_EQ(f.opened, (std::vector<std::string>{"http://192.168.1.64", "http://192.168.1.65:8080",
                                                  "http://192.168.1.66", "http://192.168.1.65:8080"}));
}

} // namespace
