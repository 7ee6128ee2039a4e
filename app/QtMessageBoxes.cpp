#include "app/QtMessageBoxes.h"

#include <QMessageBox>

namespace kv7 {

void QtMessageBoxes::Inform(const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("KV7 Test"), text, QMessageBox::Ok, m_parent);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.exec();
}

} // namespace kv7
