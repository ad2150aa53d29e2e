#include "htmlfilepreview.h"

#include "htmlpage.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace vt {

void HtmlFilePreview::showFile(const QString &path)
{
    clear();
    m_folder.clear();
    const std::optional<QString> html = path.isEmpty() ? std::nullopt : ReadHtmlFile(path);
    if (!html)
        return;
    m_folder = QFileInfo(path).absolutePath();
    document()->setBaseUrl(QUrl::fromLocalFile(m_folder + QLatin1Char('/')));
    setHtml(*html);
}

QVariant HtmlFilePreview::loadResource(int, const QUrl &name)
{
    // An empty byte array, not an invalid value: for that the document would
    // read the file itself, wherever it is.
    const QVariant refused = QByteArray("");
    if (m_folder.isEmpty() || !name.isLocalFile())
        return refused;
    const PageReference r = ResolvePageReference(m_folder, name.toString());
    if (r.kind != PageReference::File)
        return refused;
    QFile f(r.path);
    if (f.size() > kMaxPageFileBytes || !f.open(QIODevice::ReadOnly))
        return refused;
    return f.readAll();
}

} // namespace vt
