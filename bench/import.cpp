// Speed of the delimited text import: files of 100,000 and 1,000,000 lines of
// 12 columns (about 130 bytes a line, UTF-8, some values quoted with the
// delimiter inside) imported into a fresh table made from the shipped base
// database's field definitions, with a blacklist of 100 terms. Prints
// "name: value unit" lines; the peak memory shows that the file is streamed.
#include "addresstable.h"
#include "benchfigures.h"
#include "csvimport.h"
#include "definitionfiles.h"
#include "importfields.h"
#include "procmemory.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace vt;

namespace {

bool writeSource(const QString &path, int lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    static const char *cities[] = {"München", "Köln", "Düsseldorf", "Ulm", "Görlitz", "Saarbrücken"};
    QByteArray chunk;
    chunk += "Mail;Anrede;Name;Vorname;Firma;Ansprechpartner;Str;PLZ;Ort;Land;Tel;Kategorie\n";
    for (int i = 0; i < lines; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray firm = i % 10 == 0 ? "\"Müller; Meier & Co " + n + "\"" : "Firma " + n;
        chunk += "kunde" + n + "@beispiel" + QByteArray::number(i % 97) + ".de;" + (i % 2 ? "Herr" : "Frau") +
                 ";Nachname" + n + ";Vorname;" + firm + ";Ansprech;Hauptstraße " + QByteArray::number(i % 300) + ";" +
                 QByteArray::number(10000 + i % 89999) + ";" + cities[i % 6] + ";Deutschland;0711 " + n + ";Kunde\n";
        if (chunk.size() > (1 << 20)) {
            f.write(chunk);
            chunk.clear();
        }
    }
    f.write(chunk);
    return f.flush();
}

double importSeconds(const QString &folder, const QString &source, const QString &blacklist, qint64 *imported,
                     int *statusUpdates)
{
    const QStringList pro = ReadLines(QStringLiteral(VANTREL_RESOURCES_DIR "/Data/Database.pro"));
    const TableDefinition def = TableDefinitionFromLines(pro);
    const QString tablePath = folder + QStringLiteral("/Database.DB");
    QFile::remove(tablePath);
    QString error;
    if (!def.ok() || !AddressTable::create(tablePath, def.fields, def.indexes, &error)) {
        std::fprintf(stderr, "table not created: %s\n", qPrintable(error));
        return -1;
    }
    AddressTable table;
    if (!table.open(tablePath))
        return -1;
    const QList<ImportField> fields = ImportableFields(pro);
    TextImportSettings s;
    s.path = source;
    s.format = {QStringLiteral(";"), QStringLiteral("\"")};
    s.skipHeader = true;
    s.blacklistPath = blacklist;
    const QStringList order{"Mail", "Anrede", "Name", "Vorname", "Firma", "Ansprechpartner",
                            "Str",  "PLZ",    "Ort",  "Land",    "Tel",   "Kategorie"};
    for (const ImportField &f : fields)
        s.columns.append(int(order.indexOf(f.name)) + 1);
    *statusUpdates = 0;
    ImportProgress progress([statusUpdates](const QString &) { ++*statusUpdates; });
    QElapsedTimer t;
    t.start();
    const ImportOutcome o = ImportDelimitedText(table, fields, s, progress);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (o.failed) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(o.error));
        return -1;
    }
    *imported = table.count(Filter());
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // 100 terms; one of them (a domain) matches about one line in 97.
    QStringList terms;
    for (int k = 0; k < 99; ++k)
        terms.append(QStringLiteral("sperrliste%1@nirgendwo.example").arg(k));
    terms.append(QStringLiteral("@BEISPIEL13.DE"));
    const QString blacklist = dir.filePath(QStringLiteral("blacklist.txt"));
    WriteLines(blacklist, terms);

    for (const auto &[lines, name] : {std::pair{100000, "import_100k_s"}, std::pair{1000000, "import_1m_s"}}) {
        const QString source = dir.filePath(QStringLiteral("source.csv"));
        if (!writeSource(source, lines))
            return 1;
        qint64 imported = 0;
        int updates = 0;
        const double s = importSeconds(dir.path(), source, blacklist, &imported, &updates);
        if (s < 0)
            return 1;
        PrintFigure(name, s, "s", 3);
        std::printf("  rows imported: %lld of %d (blacklisted left out), status texts: %d\n",
                    static_cast<long long>(imported), lines, updates);
        QFile::remove(source);
    }
    PrintFigure("peak_rss", double(ProcessMemoryKb("VmHWM:")) / 1024.0, "MB", 3);
    return 0;
}
