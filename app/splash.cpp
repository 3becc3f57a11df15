#include "app/splash.h"

#include "app/resources.h"

#include <QLabel>

namespace cn {

Splash::Splash(QWidget* owner) : Form(QStringLiteral("Form_Splash"), WindowType::Plain, owner)
{
    place(0, 0, 400, 300);
    image_ = new QLabel(this);
    image_->setObjectName(QStringLiteral("Image_1"));
    image_->setGeometry(0, 0, 400, 300);
    image_->setPixmap(PICT01());
}

Splash* splashWindow() { return form<Splash>(QStringLiteral("Form_Splash")); }

} // namespace cn
