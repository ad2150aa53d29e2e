#include "htmlfilepreview.h"

#include "htmlpage.h"

#include <QUrl>

namespace vt {

void HtmlFilePreview::showFile(const QString &path)
{
    clear();
    m_pictures.clear();
    const std::optional<HtmlPage> page = path.isEmpty() ? std::nullopt : LoadHtmlPage(path);
    if (!page)
        return;
    for (const EmbeddedPart &p : page->parts)
        m_pictures.insert(p.contentId, p.data);
    setHtml(page->html);
}

QVariant HtmlFilePreview::loadResource(int, const QUrl &name)
{
    // An empty byte array, not an invalid value: for that the document would
    // read the file itself, wherever it is.
    const QVariant refused = QByteArray("");
    if (name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) != 0)
        return refused;
    const auto found = m_pictures.constFind(name.path());
    return found == m_pictures.constEnd() ? refused : QVariant(*found);
}

} // namespace vt
