// The device list: live rows, red Status cell, busy refusal, Control-A, double-click, sorting.
#include <QAbstractItemModelTester>
#include <QBrush>
#include <QHeaderView>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"

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
    f.window->Controller().List().DeleteAllItems();
    GuiFixture::Settle();
    EXPECT_EQ(model->rowCount(), 0);
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
    f.window->Controller().EnableControls(true); // enabling deselects every row
    GuiFixture::Settle();
    EXPECT_TRUE(f.window->SelectedRows().empty());
}

TEST(DeviceListTest, ControlASelectsEveryRowFromAnyControl) {
    GuiFixture f(437);
    QTest::keyClick(listOf(f), Qt::Key_A, Qt::ControlModifier); // empty list: no effect
    EXPECT_TRUE(f.window->SelectedRows().empty());
    for (std::uint8_t i = 1; i <= 3; ++i)
        f.AddCamera("cam", {10, 0, 0, i}, i);
    auto* user = f.Find<QLineEdit>("editUser");
    user->setFocus();
    QTest::keyClick(user, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.window->SelectedRows(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(user->selectedText(), "root"); // the key still reached the focused edit
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
    clickHeader(list, 1); // the first sort runs descending
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "bravo");
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
