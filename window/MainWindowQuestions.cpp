// The two workflow buttons that cannot be undone ask first, naming how many cameras and which.
#include <QMessageBox>
#include <QPushButton>

#include "discovery/DeviceRows.h"
#include "discovery/WireProtocol.h"
#include "window/MainWindow.h"
#include "window/WindowTexts.h"

namespace {

// More names would make the box taller than the screen of a small bench laptop.
constexpr int kNamedCameras = 12;

} // namespace

QStringList MainWindow::selectedCameras(bool factoryAddressOnly) const {
    QStringList cameras;
    // The same rows that the job's request is made of.
    for (int row : SelectedRows()) {
        const std::optional<DeviceInfo> d = m_controller->Discovery().CopyAt(row);
        if (!d || (factoryAddressOnly && d->ip != kFactoryAddress))
            continue;
        cameras << QStringLiteral("%1   %2   %3")
                       .arg(QString::fromStdString(NameText(*d)), QString::fromStdString(FormatIpv4(d->ip)),
                            QString::fromStdString(FormatMac(d->mac)));
    }
    return cameras;
}

bool MainWindow::confirm(const QString& title, const QString& question, const QStringList& cameras,
                         const QString& after) {
    QStringList shown = cameras.mid(0, kNamedCameras);
    if (cameras.size() > kNamedCameras)
        shown << caption::kMoreCameras.Tr().arg(cameras.size() - kNamedCameras);
    if (!after.isEmpty())
        shown << QString() << after;
    QMessageBox box(QMessageBox::Warning, title, question, QMessageBox::Yes | QMessageBox::No, this);
    box.setObjectName(QStringLiteral("questionBox"));
    box.setInformativeText(shown.join(QLatin1Char('\n')));
    box.setDefaultButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(caption::kYes.Tr());
    box.button(QMessageBox::No)->setText(caption::kNo.Tr());
    return m_hooks.runDialog(box) == QMessageBox::Yes;
}

void MainWindow::ResetDefault() {
    // With nothing selected, busy or closed, the controller itself does nothing and says why.
    const QStringList cameras = selectedCameras(false);
    if (cameras.isEmpty() || m_controller->IsBusy())
        return m_controller->OnResetDefault(Inputs());
    const Caption& question = cameras.size() == 1 ? caption::kResetOne : caption::kResetMany;
    if (!confirm(TranslatedTexts().resetDefault, question.Tr().arg(cameras.size()), cameras))
        return ShowNote(caption::kResetDeclined.Tr());
    m_controller->OnResetDefault(Inputs());
}

void MainWindow::AutoChangeIp() {
    if (SelectedRows().empty() || !m_controller->Discovery().Table() || m_controller->IsBusy())
        return m_controller->OnAutoChangeIp(Inputs());
    // Only cameras at the factory address are given new ones; the others would only be searched again.
    const QStringList cameras = selectedCameras(true);
    if (cameras.isEmpty())
        return ShowNote(caption::kNoFactoryCamera.Tr());
    // A range that can hand out nothing is refused by the controller before anyone is asked.
    const std::string start = FieldText(Field::RangeStart), end = FieldText(Field::RangeEnd);
    m_controller->OnAutoChangeIp(Inputs(), [&](const std::vector<std::optional<Ipv4>>& plan) {
        const Caption& question = cameras.size() == 1 ? caption::kAutoIpOne : caption::kAutoIpMany;
        const QString asked =
            question.Tr().arg(cameras.size()).arg(QString::fromStdString(start), QString::fromStdString(end));
        // Each camera with the address it will get, in the order the job hands them out.
        QStringList given;
        for (int i = 0; i < cameras.size(); ++i) {
            const std::size_t at = static_cast<std::size_t>(i);
            const std::optional<Ipv4> address = at < plan.size() ? plan[at] : std::nullopt;
            given << caption::kAutoIpGets.Tr().arg(cameras[i], address ? QString::fromStdString(FormatIpv4(*address))
                                                                       : caption::kNoAddressLeft.Tr());
        }
        if (confirm(TranslatedTexts().autoChangeIp, asked, given, caption::kAutoIpAbout.Tr()))
            return true;
        ShowNote(caption::kAutoIpDeclined.Tr());
        return false;
    });
}
