#include "app/QtMessageBoxes.h"

#include <QLabel>
#include <QMessageBox>

namespace kv7 {

namespace {

// Messages quote lock files, process names, paths and replies: never let
// Qt guess that such text is markup.
void ShowPlain(QMessageBox &box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text has no format of its own to set; its label does.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
}

} // namespace

void QtMessageBoxes::Inform(const QString &text, const QString &detail)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("KV7 Test"), text, QMessageBox::Ok, m_parent);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    ShowPlain(box);
    box.exec();
}

bool QtMessageBoxes::Ask(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    ShowPlain(box);
    return box.exec() == QMessageBox::Yes;
}

} // namespace kv7
