#include "webcontrols.h"

#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "websettings.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace vt {

namespace {

class PasswordKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const QString text = static_cast<QKeyEvent *>(event)->text();
            // Keys that type nothing (moving, deleting, shortcuts) pass.
            if (text.size() == 1 && text.at(0).isPrint() && !IsWebPassword(text)) {
                information(kOnlyLettersAndDigitsText);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void RestrictToPasswordKeys(QLineEdit *edit)
{
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9]{0,40}")), edit));
    edit->installEventFilter(new PasswordKeyFilter(edit));
}

void ShowWebHeader(QLabel *image)
{
    const QPixmap header(PathJoin(MainState().AppFolder, QStringLiteral("recom/web.png")));
    if (!header.isNull())
        image->setPixmap(header);
}

} // namespace vt
