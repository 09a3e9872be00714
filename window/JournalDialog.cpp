#include "window/JournalDialog.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/TarnDlg.h"
#include "util/Utf8.h"
#include "window/WindowTexts.h"

namespace {

constexpr int kMacRole = Qt::UserRole + 1;

} // namespace

JournalDialog::JournalDialog(CTarnDlg& controller, QWidget* window) : QDialog(window), m_controller(controller) {
    setObjectName(QStringLiteral("journalDialog"));
    setWindowTitle(caption::kAwayTitle.Tr());
    setFont(window->font());
    auto* layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("journalSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("journalList"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    layout->addWidget(m_list);
    auto* buttons = new QHBoxLayout;
    auto* forget = new QPushButton(caption::kForgetChosen.Tr(), this);
    forget->setObjectName(QStringLiteral("journalForget"));
    connect(forget, &QPushButton::clicked, this, &JournalDialog::forgetChosen);
    auto* close = new QPushButton(caption::kClose.Tr(), this);
    close->setObjectName(QStringLiteral("journalClose"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(forget);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
    resize(fontMetrics().averageCharWidth() * 90, fontMetrics().height() * 16);
    fill();
}

void JournalDialog::fill() {
    m_list->clear();
    const std::vector<PendingRestore> away = m_controller.Leftovers().AwayFromHome();
    for (const PendingRestore& r : away) {
        const QString since = r.since.empty() ? caption::kSinceUnknown.Tr() : QString::fromStdString(r.since);
        auto* item = new QListWidgetItem(
            caption::kAwayLine.Tr().arg(QString::fromStdString(Printable(r.name)),
                                        QString::fromStdString(FormatMac(r.mac)), QString::fromStdString(r.movedTo),
                                        QString::fromStdString(r.home), QString::fromStdString(r.adapter), since),
            m_list);
        item->setData(kMacRole,
                      QByteArray(reinterpret_cast<const char*>(r.mac.data()), static_cast<int>(r.mac.size())));
    }
    m_summary->setText(away.empty() ? caption::kNoneAway.Tr()
                                    : caption::kSomeAway.Tr().arg(static_cast<int>(away.size())));
}

void JournalDialog::forgetChosen() {
    QString failed;
    for (const QListWidgetItem* item : m_list->selectedItems()) {
        const QByteArray bytes = item->data(kMacRole).toByteArray();
        Mac mac{};
        if (bytes.size() != static_cast<int>(mac.size()))
            continue;
        std::copy(bytes.begin(), bytes.end(), mac.begin());
        if (auto forgotten = m_controller.Leftovers().ForgetAway(mac); !forgotten)
            failed = QString::fromStdString(forgotten.Message());
    }
    fill();
    // A journal that cannot be written keeps the camera: the dialog says so instead of going quiet.
    if (!failed.isEmpty())
        m_summary->setText(caption::kNotForgotten.Tr().arg(failed));
}
