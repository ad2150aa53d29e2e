#include "werbungform.h"
#include "ui_werbungform.h"

#include "gradient.h"
#include "linklabel.h"
#include "mainstate.h"
#include "messages.h"
#include "paths.h"
#include "productinfo.h"
#include "shell.h"
#include "textfile.h"

#include <QFile>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vt {

namespace {

const QColor kGradientTop(255, 255, 255);
const QColor kGradientBottom(169, 198, 232);

struct Product
{
    const char *name, *text, *page, *picture;
};

const Product kProducts[] = {
    {"Layoutwerk pro", "Gestalten Sie professionelle Newsletter mit fertigen Vorlagen, ganz ohne HTML-Kenntnisse.",
     "layoutwerk", "produkt1.png"},
    {"Mendora", "Prüft und repariert Ihre Adressdatenbanken und sichert sie in regelmäßigen Abständen.", "mendora",
     "produkt2.png"},
    {"Adressklar", "Findet Dubletten, Tippfehler und veraltete Einträge in großen Adressbeständen.", "adressklar",
     "produkt3.png"},
    {"Formularwerk",
     "Baut Anmelde- und Kontaktformulare für Ihre Internetseite, die direkt in Ihre Datenbank "
     "schreiben.",
     "formularwerk", "produkt4.png"},
    {"Terminwerk", "Plant Termine und erinnert Ihre Kunden automatisch per E-Mail.", "terminwerk", "produkt5.png"},
};

} // namespace

QString NoTipsFile()
{
    return PathJoin(MainState().UserDataFolder, QStringLiteral("NoWer.ini"));
}

TWerbungForm::TWerbungForm(QWidget *parent) : QDialog(parent), ui(new Ui::TWerbungForm)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    // The gradient of the window shows through the scroll box.
    ui->ScrollBox1->viewport()->setAutoFillBackground(false);
    ui->ScrollContent->setAutoFillBackground(false);
    ui->CheckBox1->setBackgroundRole(QPalette::Window);
    ui->CheckBox1->setAutoFillBackground(true);
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::accept);

    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    int row = 0;
    for (const Product &p : kProducts) {
        const int product = row + 1;
        auto *picture = new QLabel;
        picture->setObjectName(QStringLiteral("ProductImage%1").arg(product));
        MakeLink(
            picture, [this, product] { BitBtnClick(product); }, false);
        auto *name = new QLabel(QString::fromUtf8(p.name));
        name->setFont(bold);
        auto *text = new QLabel(QString::fromUtf8(p.text));
        text->setWordWrap(true);
        auto *button = new QPushButton(QStringLiteral("Mehr Infos..."));
        button->setObjectName(QStringLiteral("BitBtn%1").arg(product));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, product] { BitBtnClick(product); });
        auto *words = new QVBoxLayout;
        words->addWidget(name);
        words->addWidget(text);
        ui->ProductsLayout->addWidget(picture, row, 0, Qt::AlignTop);
        ui->ProductsLayout->addLayout(words, row, 1);
        ui->ProductsLayout->addWidget(button, row, 2, Qt::AlignVCenter);
        ++row;
    }
    ui->ProductsLayout->setColumnStretch(1, 1);
}

TWerbungForm::~TWerbungForm()
{
    delete ui;
}

void TWerbungForm::FormCreate()
{
    // The whole screen but for the bottom 27 pixels, and maximised.
    const QRect screen = this->screen() ? this->screen()->geometry() : QRect(0, 0, 1024, 768);
    setGeometry(0, 0, screen.width(), std::max(screen.height() - 27, 200));
    setWindowState(Qt::WindowMaximized);
    const QString pictures = PathJoin(MainState().AppFolder, QStringLiteral("recom/"));
    ui->Image1->setPixmap(QPixmap(ResolveExisting(pictures, QStringLiteral("werbung.png"))));
    int product = 1;
    for (const Product &p : kProducts)
        findChild<QLabel *>(QStringLiteral("ProductImage%1").arg(product++))
            ->setPixmap(QPixmap(ResolveExisting(pictures, QLatin1String(p.picture))));
}

void TWerbungForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TWerbungForm::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FormResize();
}

void TWerbungForm::FormShow()
{
    colourCheckBox();
}

void TWerbungForm::FormResize()
{
    colourCheckBox();
}

void TWerbungForm::colourCheckBox()
{
    const QPoint top = ui->CheckBox1->mapTo(this, QPoint(0, 0));
    QPalette p = ui->CheckBox1->palette();
    p.setColor(QPalette::Window, GradientColorAt(kGradientTop, kGradientBottom, top.y(), height()));
    ui->CheckBox1->setPalette(p);
}

void TWerbungForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, kGradientTop);
    g.setColorAt(1, kGradientBottom);
    painter.fillRect(rect(), g);
}

void TWerbungForm::BitBtnClick(int product)
{
    if (product < 1 || product > int(std::size(kProducts)))
        return;
    ShellOpen(QStringLiteral("https://") + ProductInfo().MakerWebSite + QStringLiteral("/produkte/") +
              QLatin1String(kProducts[product - 1].page) + QLatin1Char('/'));
}

void TWerbungForm::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TWerbungForm::FormClose()
{
    if (!ui->CheckBox1->isChecked())
        return;
    const QString path = NoTipsFile();
    if (QFile::exists(path))
        return;
    QFile marker(path);
    if (!EnsureFolder(MainState().UserDataFolder) || !marker.open(QIODevice::WriteOnly))
        error(CannotWriteFileText(path));
}

} // namespace vt
