// An error raised by a reusable class: number, description and source, the
// three things a caller may show or test.
#pragma once

#include <QString>
#include <exception>

class RaisedError : public std::exception
{
public:
    RaisedError(int number, QString description, QString source)
        : Number(number), Description(std::move(description)), Source(std::move(source))
    {}

    const char *what() const noexcept override { return "RaisedError"; }

    int Number;
    QString Description;
    QString Source;
};
