#include "messagerecorder.h"
#include "text.h"

#include <QTest>

const char *toString(vt::MsgKind k)
{
    switch (k) {
    case vt::MsgKind::Information: return "information";
    case vt::MsgKind::Warning: return "warning";
    case vt::MsgKind::Error: return "error";
    case vt::MsgKind::Question: return "question";
    case vt::MsgKind::Plain: return "plain";
    }
    return "?";
}

MessageRecorder::MessageRecorder()
{
    m_previous = vt::Messages::setInstance(this);
}

MessageRecorder::~MessageRecorder()
{
    vt::Messages::setInstance(m_previous);
    QStringList problems = m_unanswered;
    for (const Box &b : m_boxes)
        problems.append(QStringLiteral("unexpected %1 box: %2").arg(QLatin1String(toString(b.kind)), b.text));
    if (!m_answers.isEmpty())
        problems.append(QStringLiteral("%1 queued answer(s) never used").arg(m_answers.size()));
    if (!problems.isEmpty() && !QTest::currentTestFailed())
        QTest::qFail(qPrintable(problems.join(QLatin1Char('\n'))), __FILE__, __LINE__);
}

MessageRecorder::Box MessageRecorder::take()
{
    if (m_boxes.isEmpty())
        return {vt::MsgKind::Plain, QString(), {}, vt::MsgButton::None, QString()};
    return m_boxes.takeFirst();
}

bool MessageRecorder::takeExpected(vt::MsgKind kind, const QString &text)
{
    const Box b = take();
    const QString want = vt::CrToNewline(text);
    if (b.kind == kind && b.text == want)
        return true;
    qWarning().noquote() << "expected" << toString(kind) << "box:" << want << "\n     got" << toString(b.kind)
                         << "box:" << b.text;
    return false;
}

QStringList MessageRecorder::takeTexts()
{
    QStringList out;
    for (const Box &b : m_boxes)
        out.append(b.text);
    m_boxes.clear();
    return out;
}

vt::MsgButton MessageRecorder::show(vt::MsgKind kind, const QString &text, const QList<vt::MsgButton> &buttons,
                                    vt::MsgButton defaultButton, const QString &title)
{
    m_boxes.append({kind, vt::CrToNewline(text), buttons, defaultButton, title});
    if (buttons.size() <= 1)
        return buttons.isEmpty() ? vt::MsgButton::Ok : buttons.first();
    if (m_answers.isEmpty()) {
        m_unanswered.append(QStringLiteral("question without a queued answer: ") + vt::CrToNewline(text));
        return defaultButton;
    }
    return m_answers.takeFirst();
}
