#include "app/splash.h"

#include "app/resources.h"

#include <QLabel>
#include <QPointer>

namespace cn {

namespace {
QPointer<Splash> current;
}

Splash::Splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form_Splash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(400, 300);
    image_ = new QLabel(this);
    image_->setObjectName(QStringLiteral("Image_1"));
    image_->setGeometry(0, 0, 400, 300);
    image_->setPixmap(PICT01());
    current = this;
}

Splash::~Splash()
{
    if (current == this)
        current = nullptr;
}

void Splash::release()
{
    if (released_)
        return;
    released_ = true;
    if (onRelease)
        onRelease();
    close();
}

Splash* splashWindow() { return current; }

} // namespace cn
