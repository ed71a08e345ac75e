#include "playback/PositionDisplay.h"

#include "playback/ProgressSlider.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLabel>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

namespace {

constexpr int kProgressSliderMinWidthPx = 250;
constexpr int kTimeLabelWidthPx = 80;

constexpr float kBytesPerGiB = 1073741824.0f;
constexpr float kBytesPerMiB = 1048576.0f;
constexpr float kBytesPerKiB = 1024.0f;

QString twoDigits(qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }

} // namespace

PositionDisplay::PositionDisplay(QWidget* panel)
    : QObject(panel)
    , progressSlider(new ProgressSlider(Qt::Horizontal, panel))
    , file(new QLabel(panel))
    , resolution(new QLabel(panel))
    , size(new QLabel(panel))
    , date(new QLabel(panel))
    , time(new QLabel(panel))
    , duration(new QLabel(panel))
{
    progressSlider->setMinimumWidth(kProgressSliderMinWidthPx);
    progressSlider->setFocusPolicy(Qt::NoFocus);
    time->setFixedWidth(kTimeLabelWidthPx);
    nameChildren();
    resetInfo();
}

// Names for tests and accessibility tools.
void PositionDisplay::nameChildren()
{
    const std::pair<QObject*, const char*> names[] = { { progressSlider, "progressSlider" },
        { file, "fileLabel" }, { resolution, "resolutionLabel" }, { size, "sizeLabel" },
        { date, "dateLabel" }, { time, "timeLabel" }, { duration, "durationLabel" } };
    for (const auto& [object, name] : names)
        object->setObjectName(QString::fromLatin1(name));
}

void PositionDisplay::resetInfo()
{
    file->setText(tr("File: "));
    resolution->setText(tr("Resolution: "));
    size->setText(tr("Size: "));
    date->setText(tr("Date: "));
}

void PositionDisplay::showFileInfo(const QString& path, int width, int height)
{
    const QFileInfo info(path);
    file->setText(file->text() + info.fileName());
    resolution->setText(
        resolution->text() + QString::number(width) + tr(" x ") + QString::number(height));
    date->setText(date->text() + info.lastModified().toString(Qt::TextDate));
    setFileSize(float(info.size()));
}

void PositionDisplay::showTime(float ms)
{
    long double rest = ms;
    const auto hours = qint64(std::trunc(rest / 3600000.0L));
    rest -= hours * 3600000.0L;
    const auto minutes = qint64(std::trunc(rest / 60000.0L));
    rest -= minutes * 60000.0L;
    const auto secs = qint64(std::trunc(rest / 1000.0L));
    rest -= secs * 1000.0L;
    const auto millis = qint64(std::trunc(rest));
    time->setText(
        tr("%1:%2:%3:%4")
            .arg(twoDigits(hours), twoDigits(minutes), twoDigits(secs), twoDigits(millis)));
}

void PositionDisplay::showProgress(double percent)
{
    if (!follows || !(frames > 0.0))
        return;
    const double truncated = std::trunc(percent);
    progressSlider->setValue(int(std::clamp(
        truncated, double(progressSlider->minimum()), double(progressSlider->maximum()))));
}

void PositionDisplay::setDuration(double frameCount, double frameRate)
{
    frames = frameCount;
    rate = frameRate;
    // An unopened file reports no frames and no rate: no duration, and no
    // division by a rate of 0.
    const float total = frameRate > 0.0 ? float(frameCount) / float(frameRate) : 0.0f;
    seconds = std::isfinite(total) && total > 0.0f ? double(total) : 0.0;
    const auto secs = qint64(std::trunc(seconds));
    duration->setText(
        tr("%1:%2:%3")
            .arg(twoDigits(secs / 3600), twoDigits((secs / 60) % 60), twoDigits(secs % 60)));
}

int PositionDisplay::lastFrameMs() const
{
    if (frames < 1.0 || !(rate > 0.0))
        return INT_MAX;
    const double ms = (frames - 1.0) * 1000.0 / rate;
    return ms < double(INT_MAX) ? int(ms) : INT_MAX;
}

void PositionDisplay::setFileSize(float bytes)
{
    float value = bytes;
    QString unit = tr(" Bytes");
    if (bytes > kBytesPerGiB) {
        value = bytes / kBytesPerGiB;
        unit = tr(" GB");
    } else if (bytes > kBytesPerMiB) {
        value = bytes / kBytesPerMiB;
        unit = tr(" MB");
    } else if (bytes > kBytesPerKiB) {
        value = bytes / kBytesPerKiB;
        unit = tr(" KB");
    }
    size->setText(tr("Size: ") + QString::number(double(value), 'g', 6) + unit);
}
