#include "calibration/CentreCircleSetting.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>

#include <cmath>

namespace {

constexpr int kDecimals = 2;
constexpr double kStepM = 0.05;

} // namespace

CentreCircleSetting::CentreCircleSetting(QWidget* parent)
    : QWidget(parent)
{
    choice = new QComboBox(this);
    choice->setObjectName(QStringLiteral("centreCircleChoice"));
    // In the order of Choice.
    choice->addItems({ tr("%1 m").arg(kFullSizeM), tr("Other radius"), tr("None painted") });
    choice->setToolTip(tr("The radius of the circle painted round the pitch centre; "
                          "the fit checks the dimensions against it"));
    otherBox = new QDoubleSpinBox(this);
    otherBox->setObjectName(QStringLiteral("centreCircleRadiusBox"));
    otherBox->setRange(kMinM, kMaxM);
    otherBox->setDecimals(kDecimals);
    otherBox->setSingleStep(kStepM);
    otherBox->setSuffix(tr(" m"));
    otherBox->setValue(kOtherDefaultM);
    otherBox->setVisible(false);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Centre circle: "), this));
    layout->addWidget(choice);
    layout->addWidget(otherBox);
    layout->addStretch();

    connect(choice, &QComboBox::currentIndexChanged, this, &CentreCircleSetting::choiceChanged);
    connect(otherBox, &QDoubleSpinBox::valueChanged, this, &CentreCircleSetting::choiceChanged);
}

double CentreCircleSetting::radiusM() const
{
    switch (choice->currentIndex()) {
    case Other:
        return otherBox->value();
    case None:
        return 0.0;
    default:
        return kFullSizeM;
    }
}

void CentreCircleSetting::setRadiusM(double radiusM)
{
    if (!std::isfinite(radiusM))
        return;
    if (radiusM == 0.0) {
        choice->setCurrentIndex(None);
    } else if (std::abs(radiusM - kFullSizeM) < 0.5 * std::pow(10.0, -kDecimals)) {
        choice->setCurrentIndex(FullSize);
    } else if (radiusM >= kMinM && radiusM <= kMaxM) {
        // The box first, so that one change is reported, not two.
        const QSignalBlocker quiet(otherBox);
        otherBox->setValue(radiusM);
        choice->setCurrentIndex(Other);
    }
    choiceChanged();
}

// Reports a change of the radius once, whichever widget changed.
void CentreCircleSetting::choiceChanged()
{
    otherBox->setVisible(choice->currentIndex() == Other);
    const double now = radiusM();
    if (now == reported)
        return;
    reported = now;
    emit radiusChanged(now);
}
