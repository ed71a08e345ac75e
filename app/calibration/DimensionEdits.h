#pragma once

#include <QObject>
#include <QStringList>

#include <optional>

class QGridLayout;
class QLabel;
class QLineEdit;
class QWidget;
class VistrelInterface;

// The typed pitch dimensions: length, width and radius edits that take a
// decimal point or a decimal comma whatever the locale, the values they last
// accepted, and a label that says why a text was refused.
class DimensionEdits : public QObject
{
    Q_OBJECT

public:
    static constexpr float kDimensionMax = 10000.0f;
    static constexpr float kDefaultLength = 36.0f;
    static constexpr float kDefaultWidth = 27.0f;
    static constexpr float kDefaultRadius = 5.0f;

    // A number above 0 and at most kDimensionMax; none for anything else.
    static std::optional<float> parse(const QString& text);

    // The widgets are children of parent.
    explicit DimensionEdits(QWidget* parent);

    float length() const { return lengthValue; }
    float width() const { return widthValue; }
    float radius() const { return radiusValue; }
    // The refusals shown, empty when every text was accepted.
    QString error() const;
    QStringList texts() const;
    QGridLayout* createGrid() const;
    QLabel* errorLabel() const { return refusalLabel; }

    // Takes the texts that parse; a refused one keeps the last accepted
    // value, is marked, and the label says why.
    void accept();
    // The values to the engine.
    void sendTo(VistrelInterface* engine) const;
    void setTexts(const QStringList& texts);
    // Values that are not valid leave their edit as it is.
    void setValues(double length, double width, double radius);
    void setDefaults();

signals:
    // The user finished editing one of the texts.
    void edited();

private:
    QLineEdit* createEdit(float value, QWidget* parent);
    bool acceptOne(QLineEdit* edit, float& value);

    float lengthValue = kDefaultLength;
    float widthValue = kDefaultWidth;
    float radiusValue = kDefaultRadius;
    QLabel* lengthLabel = nullptr;
    QLabel* widthLabel = nullptr;
    QLabel* radiusLabel = nullptr;
    QLineEdit* lengthEdit = nullptr;
    QLineEdit* widthEdit = nullptr;
    QLineEdit* radiusEdit = nullptr;
    QLabel* refusalLabel = nullptr;
};
