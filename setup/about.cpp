#include "setup/about.h"

#include "app/resources.h"
#include "setup/about_texts.h"

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

namespace cn {

namespace {

QLabel* label(QWidget* parent, const char* name, const QRect& geometry, const QString& text)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setTextFormat(Qt::PlainText);
    l->setText(text);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QLabel* link(QWidget* parent, const char* name, const QRect& geometry, const QString& caption,
             const QString& url)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(geometry);
    l->setTextFormat(Qt::RichText);
    l->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), caption.toHtmlEscaped()));
    l->setAlignment(Qt::AlignCenter);
    l->setOpenExternalLinks(true);
    l->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    l->setToolTip(url);
    return l;
}

QString terms()
{
    QStringList paragraphs;
    for (const char* p : about::kTerms)
        paragraphs << QString::fromUtf8(p);
    return paragraphs.join(QStringLiteral("\n\n"));
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

    QLabel* title = label(this, "Label_1", {10, 10, 400, 24}, QString::fromUtf8(about::kProduct));
    QFont big = title->font();
    big.setPointSize(16);
    big.setBold(true);
    title->setFont(big);
    title->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    const QString web = QString::fromUtf8(about::kWebsite);
    const QString mail = QString::fromUtf8(about::kEmail);
    link(this, "Label_2", {100, 40, 250, 24}, QStringLiteral("Website: ") + web, web);
    link(this, "Label_3", {110, 70, 250, 24}, QStringLiteral("Email: ") + mail, QStringLiteral("mailto:") + mail);

    QLabel* warning = label(this, "Label_4", {10, 95, 400, 50},
                            QString::fromUtf8(about::kWarning1) + QLatin1Char('\n') + QString::fromUtf8(about::kWarning2));
    warning->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    auto* termsBox = new QTextEdit(this);
    termsBox->setObjectName(QStringLiteral("TxtTerms"));
    termsBox->setGeometry(10, 135, 400, 100);
    termsBox->setReadOnly(true);
    QFont tf = termsBox->font();
    tf.setPointSize(8);
    tf.setBold(true);
    tf.setItalic(true);
    termsBox->setFont(tf);
    termsBox->setPlainText(terms());

    label(this, "Label_5", {10, 240, 400, 14}, QString::fromUtf8(about::kOwnedBy));
    label(this, "Label_6", {10, 255, 400, 14}, QString::fromUtf8(about::kMaker));
    label(this, "Label_7", {10, 270, 400, 14}, QString::fromUtf8(about::kAddress1));
    label(this, "Label_8", {10, 285, 400, 14}, QString::fromUtf8(about::kAddress2));

    auto* ok = new QPushButton(QStringLiteral("&Ok"), this);
    ok->setObjectName(QStringLiteral("Button_Ok"));
    ok->setGeometry(180, 305, 60, 24);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &Form::release);
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
