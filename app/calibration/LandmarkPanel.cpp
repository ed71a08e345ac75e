#include "calibration/LandmarkPanel.h"

#include "calibration/FieldControls.h"
#include "calibration/FitReadout.h"
#include "calibration/LandmarkMarks.h"
#include "calibration/PitchTopView.h"
#include "engine/EngineFunctions.h"
#include "screens/VideoScreenAdapter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {


} // namespace

LandmarkPanel::LandmarkPanel(VistrelInterface* engine, FieldControls* field, QWidget* parent)
    : QWidget(parent)
    , engine(engine)
    , field(field)
{
    activeBox = new QCheckBox(tr("Place landmarks"), this);
    activeBox->setObjectName(QStringLiteral("placeLandmarksBox"));
    activeBox->setToolTip(tr("Clicks on the picture place the landmark chosen below instead of "
                             "the corners"));
    viewBox = new QComboBox(this);
    viewBox->addItem(tr("Whole pitch"), int(PitchLandmarks::View::Whole));
    viewBox->addItem(tr("Left half"), int(PitchLandmarks::View::LeftHalf));
    viewBox->addItem(tr("Right half"), int(PitchLandmarks::View::RightHalf));
    viewBox->setToolTip(tr("What the typed dimensions describe: for a camera that sees one half, "
                           "type that half's size and choose it here"));
    viewBox->setCurrentIndex(viewBox->findData(int(field->pitchView())));
    connect(viewBox, &QComboBox::currentIndexChanged, this,
        [this] { this->field->setPitchView(PitchLandmarks::View(viewBox->currentData().toInt())); });
    connect(field, &FieldControls::pitchViewChanged, this, [this](PitchLandmarks::View view) {
        viewBox->setCurrentIndex(viewBox->findData(int(view)));
        refresh();
    });
    topView = new PitchTopView(this);
    chosenLabel = new QLabel(this);
    chosenLabel->setWordWrap(true);
    fitLabel = new QLabel(this);
    fitLabel->setObjectName(QStringLiteral("landmarkFitLabel"));
    removeButton = new QPushButton(tr("Remove"), this);
    removeButton->setToolTip(tr("Take the chosen landmark out of the calibration"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(activeBox);
    buttons->addWidget(viewBox);
    buttons->addStretch();
    buttons->addWidget(removeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(topView, 1);
    layout->addWidget(chosenLabel);
    layout->addWidget(fitLabel);

    connect(topView, &PitchTopView::picked, this, &LandmarkPanel::choose);
    connect(removeButton, &QPushButton::clicked, this, &LandmarkPanel::removeChosen);
    connect(field, &FieldControls::signalOverlayChanged, this, &LandmarkPanel::refresh);
    marks = new LandmarkMarks(this, field, this);
    refresh();
}

void LandmarkPanel::attachTo(VideoScreenAdapter* screens)
{
    screens->setPointTaker([this](int x, int y, bool exact) { return takePoint(x, y, exact); });
    screens->addLayer(marks);
}

bool LandmarkPanel::isActive() const { return activeBox->isChecked(); }

void LandmarkPanel::setActive(bool on) { activeBox->setChecked(on); }

QString LandmarkPanel::chosen() const { return topView->chosen(); }

PitchLandmarks LandmarkPanel::pitch() const
{
    return PitchLandmarks(
        field->fieldWidth(), field->fieldLength(), field->centreRadius(), field->pitchView());
}

void LandmarkPanel::setView(PitchLandmarks::View view) { field->setPitchView(view); }

void LandmarkPanel::choose(const QString& name)
{
    if (!pitch().find(name))
        return;
    topView->setChosen(name);
    refresh();
    emit chosenChanged(name);
}

bool LandmarkPanel::takePoint(int x, int y, bool exact)
{
    if (!isActive())
        return false;
    const PitchLandmarks landmarks = pitch();
    const PitchLandmarks::Landmark* landmark = landmarks.find(chosen());
    if (!landmark) {
        emit notice(tr("Choose a landmark in the top view first"));
        return true;
    }
    std::vector<CalibrationData::Landmark> placed = field->landmarks();
    const CalibrationData::Landmark given { landmark->name, snapped(x, y, exact, landmark->name),
        landmark->pitch };
    const auto same = std::find_if(placed.begin(), placed.end(),
        [&given](const CalibrationData::Landmark& l) { return l.name == given.name; });
    if (same != placed.end())
        *same = given;
    else
        placed.push_back(given);
    apply(placed);
    return true;
}

void LandmarkPanel::removeChosen()
{
    std::vector<CalibrationData::Landmark> placed = field->landmarks();
    const auto removed = std::remove_if(placed.begin(), placed.end(),
        [this](const CalibrationData::Landmark& l) { return l.name == chosen(); });
    if (removed == placed.end())
        return;
    placed.erase(removed, placed.end());
    apply(placed);
}

// Spots are no crossing of lines: they are taken where clicked.
QPointF LandmarkPanel::snapped(int x, int y, bool exact, const QString& name) const
{
    double sx = x;
    double sy = y;
    if (exact || name.contains(tr("spot"))
        || EngineFunctions::of(engine).snapToLines(x, y, kSnapRadiusPx, &sx, &sy) != 0)
        return QPointF(x, y);
    return QPointF(sx, sy);
}

// Four or more landmarks calibrate; a set the engine refuses (three in a
// line, a corner beyond the horizon) changes nothing.
void LandmarkPanel::apply(const std::vector<CalibrationData::Landmark>& landmarks)
{
    std::optional<std::array<QPoint, 5>> corners;
    if (landmarks.size() >= std::size_t(kNeeded)) {
        if (!CornerPoints::calibrateFrom(engine, landmarks)) {
            emit notice(tr("These landmarks give no pitch: check that no three of them lie on "
                           "one line and that each is where it belongs"));
            return;
        }
        corners = field->fittedCornersAndCentre();
    }
    field->setLandmarks(landmarks, corners);
}

std::optional<double> LandmarkPanel::fitRmsPx() const
{
    const std::vector<CalibrationData::Landmark>& placed = field->landmarks();
    if (placed.size() < std::size_t(kNeeded) || !field->cornersComplete())
        return std::nullopt;
    return FitReadout::landmarkRmsPx(EngineFunctions::of(engine), placed);
}

QString LandmarkPanel::fitText() const
{
    const std::size_t count = field->landmarks().size();
    if (const std::optional<double> rms = fitRmsPx())
        return FitReadout::landmarkFitText(*rms, count);
    return tr("%1 of %2 landmarks placed").arg(count).arg(kNeeded);
}

void LandmarkPanel::refresh()
{
    const PitchLandmarks landmarks = pitch();
    topView->setPitch(landmarks);
    QSet<QString> placed;
    for (const CalibrationData::Landmark& landmark : field->landmarks())
        placed.insert(landmark.name);
    topView->setPlaced(placed);
    const QString name = chosen();
    chosenLabel->setText(name.isEmpty() ? tr("Pick a landmark in the top view")
                                        : tr("Chosen: %1").arg(name));
    removeButton->setEnabled(placed.contains(name));
    fitLabel->setText(fitText());
}
