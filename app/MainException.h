#pragma once

#include <QString>

#include <exception>
#include <memory>

// An error that ends the program's start: carries the text shown to the user
// and, optionally, the exception that caused it. It is never thrown; callers
// build it and show it with showErrorMessage().
class MainException
{
public:
    explicit MainException(const QString& message, const std::exception* cause = nullptr);
    virtual ~MainException();
    MainException(const MainException&) = delete;
    MainException& operator=(const MainException&) = delete;

    QString message() const { return text; }

    // A modal critical-error box with the message; returns when it is closed.
    void showErrorMessage() const;

    // The box for a window or thread given no engine (the library did not
    // load); the second one then ends the program.
    static void reportMissingEngine();
    [[noreturn]] static void endForMissingEngine();

private:
    // Keeps the cause's text: a copy through the std::exception base would
    // lose what() of the derived class.
    std::unique_ptr<std::exception> cause;
    QString text;
};
