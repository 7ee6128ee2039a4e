#include "app/LoggedMessageBoxes.h"

#include "app/SessionRecorder.h"

namespace kv7 {

void LoggedMessageBoxes::Inform(const QString &text, const QString &detail)
{
    m_record.Note(QStringLiteral("message: ") + text + (detail.isEmpty() ? QString() : QStringLiteral(" | ") + detail));
    m_boxes.Inform(text, detail);
}

bool LoggedMessageBoxes::Ask(const QString &text, const QString &title)
{
    const bool yes = m_boxes.Ask(text, title);
    m_record.Note(QStringLiteral("question: %1: %2 | %3").arg(title, text, yes ? QStringLiteral("Yes") : QStringLiteral("No")));
    return yes;
}

} // namespace kv7
