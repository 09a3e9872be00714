#include "window/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>
#include <cmath>

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseX = static_cast<int>(std::lround(metrics.horizontalAdvance(alphabet) / 52.0));
    m_baseY = metrics.height();
}

QFont TemplateFont(const QString& family, int pointSize) {
    // Carlito and Liberation Mono share Calibri's and Courier New's metrics, so layouts keep their proportions.
    QStringList candidates{family};
    if (family == QLatin1String("Calibri"))
        candidates << QStringLiteral("Carlito");
    else if (family.startsWith(QLatin1String("Courier")))
        candidates << QStringLiteral("Courier New") << QStringLiteral("Liberation Mono")
                   << QStringLiteral("DejaVu Sans Mono");
    const QStringList installed = QFontDatabase::families();
    QFont font;
    for (const QString& name : candidates) {
        if (installed.contains(name)) {
            font.setFamily(name);
            break;
        }
    }
    if (family.startsWith(QLatin1String("Courier")))
        font.setStyleHint(QFont::Monospace);
    font.setPointSize(pointSize);
    return font;
}
