#include "productinfo.h"
#include "paths.h"
#include "text.h"
#include "textfile.h"
#include "windowsinfo.h"

#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>

namespace vt {

namespace {

TProductInfo g_info;

QString page(const QString &site, const QString &path)
{
    return QStringLiteral("https://") + site + path;
}

// A page address with "?id=" and the reseller id, encoded whatever the id holds.
QString withResellerId(const QString &address, const QString &id)
{
    QUrl url(address);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("id"), QString::fromLatin1(QUrl::toPercentEncoding(id)));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

// What a brand sets; the maker brand's display name is made from the product label.
struct Brand
{
    const char *displayName, *makerName, *supportEmail, *site, *installDir;
};

const Brand kMakerBrand = {nullptr, "Halvicor", "support@halvicor.example", "www.halvicor.example", "/opt/vantrel"};
const Brand kResellerBrand = {"Qentra-Vantrel", "Qentra", "support@qentra.example", "www.qentra.example",
                              "/opt/qentra-vantrel-professional"};
const QString kMakerSite = QString::fromLatin1(kMakerBrand.site);

void applyBrand(TProductInfo &p, const Brand &b)
{
    p.DisplayName = b.displayName ? QString::fromLatin1(b.displayName) : QStringLiteral("Vantrel ") + p.ProductLabel;
    p.MakerName = QString::fromLatin1(b.makerName);
    p.SupportEmail = QString::fromLatin1(b.supportEmail);
    p.MakerWebSite = QString::fromLatin1(b.site);
    p.ProductPageUrl = page(p.MakerWebSite, QStringLiteral("/vantrel/"));
    p.DesignerPageUrl = page(p.MakerWebSite, QStringLiteral("/layoutwerk/"));
    p.ClientSetupUrl = page(p.MakerWebSite, QStringLiteral("/download/vantrel-client.tar.gz"));
    p.DefaultInstallDir = QString::fromLatin1(b.installDir);
}

} // namespace

TProductInfo MakeProductInfo(const QString &exePath, const QString &brandingFolder)
{
    TProductInfo p;
    const QFileInfo exe(exePath);
    p.ProgramDir = WithTrailingSlash(exe.absolutePath());
    p.BrandCode = AsciiUpper(exe.fileName()).contains(QLatin1String("QENTRA")) ? kResellerBrandCode : kMakerBrandCode;
    p.ProductLabel = QStringLiteral("Professional");
    p.SerialMailPageUrl = page(kMakerSite, QStringLiteral("/serienmail/"));
    p.HeadImage = QStringLiteral("head.png");
    p.AboutImage = QStringLiteral("about.png");
    p.WizardImage = QStringLiteral("wizard.png");
    p.HelpFile = QStringLiteral("help.html");
    p.AccessHelpPage = QStringLiteral("access.html");
    p.TextImportHelpPage = QStringLiteral("textimport.html");
    p.ExcelHelpPage = QStringLiteral("excel.html");
    p.DatabasesHelpPage = QStringLiteral("datenbanken.html");
    // Updates and the repair tool come from the maker under either brand.
    p.UpdateServer = kMakerSite;
    p.RepairToolPageUrl = page(kMakerSite, QStringLiteral("/mendora/"));

    // A reseller id gives the maker's brand whatever the executable's name, with
    // the maker's reseller pages for that id.
    const QString id = brandingFolder.isEmpty()
                           ? QString()
                           : AsciiLower(Trimmed(ReadFirstLine(PathJoin(brandingFolder, kResellerIdFileName))));
    applyBrand(p, p.BrandCode == kResellerBrandCode && id.isEmpty() ? kResellerBrand : kMakerBrand);
    if (!id.isEmpty()) {
        p.ResellerId = id;
        p.ProductPageUrl = withResellerId(page(kMakerSite, QStringLiteral("/reseller/vantrel.php")), id);
        p.DesignerPageUrl = withResellerId(page(kMakerSite, QStringLiteral("/reseller/layoutwerk.php")), id);
    }

    p.VersionText = ReadFirstLine(p.ProgramDir + QStringLiteral("ver.ini"));
    return p;
}

QString BrandingFolder()
{
    return WithTrailingSlash(PathJoin(WindowsInfo().AppDataDir, QStringLiteral("Halvicor/Branding")));
}

const TProductInfo &ProductInfo()
{
    return g_info;
}

void SetProductInfo(const TProductInfo &info)
{
    g_info = info;
}

} // namespace vt
