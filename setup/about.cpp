#include "setup/about.h"

#include "app/controls.h"
#include "app/resources.h"
#include "setup/about_texts.h"

#include <QPushButton>

namespace cn {

namespace {

using K = ControlKind;
constexpr Qt::Alignment kCentre = Qt::AlignCenter;
const QColor kRed(255, 0, 0);

QString text(const char* configured) { return QString::fromUtf8(configured); }

QString terms()
{
    QStringList paragraphs;
    for (const char* p : about::kTerms)
        paragraphs << text(p);
    return paragraphs.join(QStringLiteral("\n\n"));
}

QList<ControlDecl> aboutControls()
{
    const QString web = text(about::kWebsite);
    const QString mail = text(about::kEmail);
    return {
        ControlDecl{"Label_1", K::Label, 10, 10, 400, 24, text(about::kProduct)}.aligned(kCentre).size(16).strong().color(kRed),
        ControlDecl{"Label_2", K::Hyperlink, 100, 40, 250, 24, "Website: " + web, web}.aligned(kCentre).to(web),
        ControlDecl{"Label_3", K::Hyperlink, 110, 70, 250, 24, "Email: " + mail, "mailto:" + mail}
            .aligned(kCentre).to("mailto:" + mail),
        ControlDecl{"Label_4", K::Label, 10, 95, 400, 50, text(about::kWarning1) + '\n' + text(about::kWarning2)}
            .aligned(kCentre).color(kRed),
        ControlDecl{"TxtTerms", K::RichText, 10, 135, 400, 100, terms(), "", 0, "", true}.size(8).strong().slanted(),
        ControlDecl{"Label_5", K::Label, 10, 240, 400, 14, text(about::kOwnedBy)}.aligned(kCentre),
        ControlDecl{"Label_6", K::Label, 10, 255, 400, 14, text(about::kMaker)}.aligned(kCentre),
        ControlDecl{"Label_7", K::Label, 10, 270, 400, 14, text(about::kAddress1)}.aligned(kCentre),
        ControlDecl{"Label_8", K::Label, 10, 285, 400, 14, text(about::kAddress2)}.aligned(kCentre),
        {"Button_Ok", K::Button, 180, 305, 60, 24, "&Ok"},
    };
}

} // namespace

AboutForm::AboutForm(QWidget* owner) : Form(QStringLiteral("Form_About"), WindowType::Child, owner)
{
    // No close, minimise or maximise box and no system menu: Ok closes it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setTitle(QStringLiteral("Curanote 1.0 - About"));
    setWindowIcon(ICON01());
    place(235, 140, 430, 380);
    setResizable(false);
    build(aboutControls());
    if (auto* ok = need<QPushButton>(QStringLiteral("Button_Ok"))) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &Form::release);
    }
}

void ABOUT()
{
    if (IsWindowDefined(QStringLiteral("Form_About")))
        return;
    auto* about = new AboutForm;
    about->center();
    about->activate();
}

} // namespace cn
