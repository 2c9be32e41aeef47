// An error inside the archive writer: a description and the routine that
// raised it.
#pragma once

#include <stdexcept>
#include <string>

class ZipError : public std::runtime_error
{
public:
    ZipError(std::string description, std::string source)
        : std::runtime_error(description), Description(std::move(description)), Source(std::move(source))
    {}

    std::string Description;
    std::string Source;
};
