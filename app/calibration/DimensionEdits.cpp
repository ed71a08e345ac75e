#include "calibration/DimensionEdits.h"

#include "VistrelInterface.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>

#include <cmath>
#include <utility>

namespace {

// Up to five digits, then up to three decimals after a point or a comma.
constexpr const char* kDimensionPattern = R"(\d{0,5}([.,]\d{0,3})?)";
constexpr int kEditWidthPx = 50;

} // namespace

std::optional<float> DimensionEdits::parse(const QString& text)
{
    QString number = text.trimmed();
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(number, &ok);
    if (!ok || !std::isfinite(value) || value <= 0.0 || value > double(kDimensionMax))
        return std::nullopt;
    return float(value);
}

DimensionEdits::DimensionEdits(QWidget* parent)
    : QObject(parent)
{
    lengthLabel = new QLabel(tr("Length: "), parent);
    widthLabel = new QLabel(tr("Width: "), parent);
    radiusLabel = new QLabel(tr("Radius: "), parent);
    lengthEdit = createEdit(lengthValue, parent);
    widthEdit = createEdit(widthValue, parent);
    radiusEdit = createEdit(radiusValue, parent);
    refusalLabel = new QLabel(parent);
    refusalLabel->setObjectName(QStringLiteral("dimensionErrorLabel"));
    refusalLabel->setStyleSheet(QStringLiteral("color: #c00000"));
    refusalLabel->setWordWrap(true);
    refusalLabel->hide();
}

QLineEdit* DimensionEdits::createEdit(float value, QWidget* parent)
{
    auto* edit = new QLineEdit(QString::number(value, 'g', 6), parent);
    // The pattern keeps letters out; the range is checked when the edit is
    // finished, where a refusal can say why.
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QString::fromLatin1(kDimensionPattern)), edit));
    edit->setMaximumWidth(kEditWidthPx);
    connect(edit, &QLineEdit::editingFinished, this, &DimensionEdits::edited);
    return edit;
}

QGridLayout* DimensionEdits::createGrid() const
{
    auto* grid = new QGridLayout;
    grid->addWidget(lengthLabel, 0, 0);
    grid->addWidget(lengthEdit, 0, 1);
    grid->addWidget(widthLabel, 1, 0);
    grid->addWidget(widthEdit, 1, 1);
    grid->addWidget(radiusLabel, 2, 0);
    grid->addWidget(radiusEdit, 2, 1);
    return grid;
}

QString DimensionEdits::error() const
{
    return refusalLabel->isHidden() ? QString() : refusalLabel->text();
}

QStringList DimensionEdits::texts() const
{
    return { lengthEdit->text(), widthEdit->text(), radiusEdit->text() };
}

void DimensionEdits::accept()
{
    QStringList refusals;
    const std::pair<QLineEdit*, float*> edits[] = { { lengthEdit, &lengthValue },
        { widthEdit, &widthValue }, { radiusEdit, &radiusValue } };
    const QString names[] = { tr("Length"), tr("Width"), tr("Radius") };
    for (int i = 0; i < 3; ++i) {
        if (!acceptOne(edits[i].first, *edits[i].second))
            refusals << tr("%1 must be a number above 0 and at most %2, such as 52.5 or 52,5.")
                            .arg(names[i])
                            .arg(double(kDimensionMax));
    }
    refusalLabel->setText(refusals.join(QLatin1Char('\n')));
    refusalLabel->setVisible(!refusals.isEmpty());
}

bool DimensionEdits::acceptOne(QLineEdit* edit, float& value)
{
    const std::optional<float> parsed = parse(edit->text());
    edit->setStyleSheet(parsed ? QString() : QStringLiteral("background: #ffd0d0"));
    if (parsed)
        value = *parsed;
    return parsed.has_value();
}

void DimensionEdits::sendTo(VistrelInterface* engine) const
{
    engine->setFieldLength(lengthValue);
    engine->setFieldWidth(widthValue);
    engine->setCentreCircleRadius(radiusValue);
}

void DimensionEdits::setTexts(const QStringList& texts)
{
    lengthEdit->setText(texts.value(0));
    widthEdit->setText(texts.value(1));
    radiusEdit->setText(texts.value(2));
}

void DimensionEdits::setValues(double length, double width, double radius)
{
    const std::pair<QLineEdit*, double> values[]
        = { { lengthEdit, length }, { widthEdit, width }, { radiusEdit, radius } };
    for (const auto& [edit, value] : values) {
        const QString text = QString::number(value, 'g', 6);
        if (parse(text))
            edit->setText(text);
    }
}

void DimensionEdits::setDefaults()
{
    setTexts({ QStringLiteral("%1").arg(kDefaultLength), QStringLiteral("%1").arg(kDefaultWidth),
        QStringLiteral("%1").arg(kDefaultRadius) });
}
