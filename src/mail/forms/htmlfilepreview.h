#pragma once
// The preview of an HTML file as its author sees it: the page decoded as the mail
// will be, its pictures and style sheets from its own folder tree only. Nothing
// comes from the network or from elsewhere on the disk, so a page from a stranger
// cannot make the preview read a device or a private file.
#include <QTextBrowser>

namespace vt {

class HtmlFilePreview : public QTextBrowser
{
    Q_OBJECT
public:
    using QTextBrowser::QTextBrowser;

    // Shows the file; an empty path, or one that cannot be read, shows nothing.
    void showFile(const QString &path);
    QVariant loadResource(int type, const QUrl &name) override;

private:
    QString m_folder;
};

} // namespace vt
