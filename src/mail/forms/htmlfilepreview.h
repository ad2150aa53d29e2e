#pragma once
// The preview of an HTML file as the mail will show it: the page decoded, its
// style sheets written into it and its pictures taken from its own folder tree,
// as when they are embedded. Nothing comes from the network or from elsewhere on
// the disk, so a page from a stranger cannot make the preview read a device or a
// private file.
#include <QHash>
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
    QHash<QString, QByteArray> m_pictures; // by Content-ID
};

} // namespace vt
