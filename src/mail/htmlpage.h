#pragma once
// An HTML page made elsewhere, on its way into a mail: its text decoded, the local
// pictures and style sheets it refers to found, checked and taken in, and a plain
// text made of it.
//
// Only files inside the page's own folder tree are read: a reference that leads
// out of it (an absolute path elsewhere, "../" above the page's folder, a link
// that points elsewhere) is left as it stands and reported, so that a page from a
// stranger cannot put private files into a mass mail. Remote addresses stay as
// they are.
#include "mailmessage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace vt {

// The text of an HTML file: a byte order mark decides; else the character set the
// page declares in a <meta> tag; else valid UTF-8 is UTF-8; else Windows-1252.
QString DecodeHtml(const QByteArray &bytes);

// Pages, pictures and style sheets larger than this are not read: no newsletter
// is this large, and a mail of such parts would not be delivered anyway.
constexpr qint64 kMaxPageFileBytes = 20 * 1024 * 1024;

// The decoded text of an HTML file; nothing (with a German error text) when it
// cannot be read or is larger than kMaxPageFileBytes.
std::optional<QString> ReadHtmlFile(const QString &path, QString *error = nullptr);

// Plain text of HTML in one pass: line breaks and tags dropped, a blank or tab
// dropped before another blank, a tab, a line break or a tag, then "&quot;",
// "&apos;", "&gt;", "&lt;" and "&amp;" replaced in that order. Other entities,
// and text in scripts and style elements, stay as they are.
QString StripHTMLTags(const QString &html);

// Where a reference written in an HTML page (or a style sheet of it) leads.
struct PageReference
{
    enum Kind {
        NotLocal, // a remote address, a "cid:" or "data:" one, an anchor
        Outside,  // out of the page's folder tree: never to be read
        Missing,  // inside the tree, but no file is there
        File,     // a regular file inside the tree (path)
    };
    Kind kind = NotLocal;
    QString path;
};
// pageFolder: the page's folder; from: the folder the reference is written in
// (a style sheet's), the page's when empty. Links are followed before deciding,
// and a path that is not there as written is looked up without regard to case.
PageReference ResolvePageReference(const QString &pageFolder, const QString &written, const QString &from = {});

struct HtmlPage
{
    // The page's text: embedded pictures referred to as "cid:", local style sheets
    // written into <style> elements.
    QString html;
    QList<EmbeddedPart> parts;
    // References as written in the page (or its style sheets) that were not taken
    // in: those leading out of the page's folder tree (never read), local
    // pictures and style sheets that are not there, and those too large.
    QStringList outside;
    QStringList missing;
    QStringList tooLarge;
};

// Reads the page with the pictures and style sheets it shows. Nothing (with an
// error text) when the file cannot be read.
std::optional<HtmlPage> LoadHtmlPage(const QString &path, QString *error = nullptr);

} // namespace vt
