#include "nolayoutwerkform.h"
#include "ui_nolayoutwerkform.h"

#include "linklabel.h"
#include "mainstate.h"
#include "paths.h"

namespace vt {

TNoLayoutwerkForm::TNoLayoutwerkForm(QWidget *parent) : QDialog(parent), ui(new Ui::TNoLayoutwerkForm)
{
    ui->setupUi(this);
    // No icons in the title bar: the window is left through its two links.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &TNoLayoutwerkForm::BitBtn1Click);
    MakeLink(ui->Label4, [this] { Label4Click(); });
}

TNoLayoutwerkForm::~TNoLayoutwerkForm()
{
    delete ui;
}

void TNoLayoutwerkForm::FormCreate()
{
    ui->Image1->setPixmap(QPixmap(
        ResolveExisting(PathJoin(MainState().AppFolder, QStringLiteral("recom/")), QStringLiteral("layoutwerk.png"))));
}

void TNoLayoutwerkForm::BitBtn1Click()
{
    accept();
}

void TNoLayoutwerkForm::Label4Click()
{
    accept();
}

} // namespace vt
