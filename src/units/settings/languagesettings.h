#pragma once

#include <QObject>
#include <QVariant>

// Language of the displays and of the name days, from settings "language".
class LanguageSettings : public QObject
{
    Q_OBJECT
public:
    enum Language { Czech = 1, English = 2 };

    explicit LanguageSettings(QObject* parent = nullptr);

    // "en-US" in any letter case selects English, any other text Czech;
    // a section without a text under "core" keeps the current language.
    void load(const QVariant& section);

    int language() const { return m_language; }
    void setLanguage(int language) { m_language = language; }
    QString languageString() const;

private:
    int m_language = Czech;
};
