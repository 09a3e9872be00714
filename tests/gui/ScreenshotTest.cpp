// Renders the main window with a few cameras in both languages, for the README and for review.
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QTableView>

#include <gtest/gtest.h>

#include "tests/gui/GuiTestSupport.h"

namespace {

QString render(unsigned codePage, const char* file) {
    GuiFixture f(codePage);
    f.AddCamera("IPC-Lobby", {192, 168, 0, 20}, 0x11);
    f.AddCamera("IPC-Gate", {192, 168, 0, 20}, 0x12);
    f.AddCamera("KX-Warehouse", {192, 168, 1, 64}, 0x13, 8080);
    f.AddCamera("IPC-Office", {192, 168, 1, 65}, 0x14);
    f.AddCamera("IPC-Garden", {192, 168, 1, 66}, 0x15);
    f.SetStatus(0, *Status::Of(CameraView{Phase::Burning, 40}), false);
    f.SetStatus(1, *Status::Of(CameraView{Phase::Rebooting, 45}), false);
    f.SetStatus(2, "401 Unauthorized", true);
    f.SetStatus(3, "UPGRADE SUCCESSFUL", false);
    f.SetStatus(4, "Model mismatch", true);
    // A selected failed row, as the technician sees one picked to try again.
    f.Find<QTableView>("listDevices")->selectRow(4);
    f.window->SetFieldText(Field::FirmwarePath, "/home/tech/firmware/IPC1234_V1.23.bin");
    f.window->SetFieldText(Field::Model, "IPC1234");
    f.window->SetFieldText(Field::FwVersion, "V1.23");
    GuiFixture::Settle();
    QString path = QDir(QStringLiteral(FLASHWELL_GUI_OUTPUT_DIR)).filePath(QString::fromLatin1(file));
    const QPixmap shot = f.window->grab();
    EXPECT_EQ(shot.size(), f.window->size());
    EXPECT_TRUE(shot.save(path));
    return path;
}

TEST(ScreenshotTest, RendersBothLanguagesToPng) {
    for (auto [codePage, file] : {std::pair{437u, "window-en.png"}, std::pair{936u, "window-zh.png"}}) {
        const QImage image(render(codePage, file));
        ASSERT_FALSE(image.isNull()) << file;
        bool red = false; // the failed camera's Status text
        for (int y = 0; y < image.height() && !red; ++y)
            for (int x = 0; x < image.width() && !red; ++x)
                red = image.pixelColor(x, y) == QColor(255, 0, 0);
        EXPECT_TRUE(red) << file;
    }
}

} // namespace
