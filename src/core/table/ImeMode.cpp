#include "ImeMode.h"

namespace ImeMode {

Request forMode(int mode)
{
    switch (mode) {
    case 0:
    case 2:
    case 3:
        return {false, std::nullopt};
    case 1:
    case 4:
        return {true, Native | FullShape | Roman};
    case 5:
        return {true, Native | Katakana | FullShape | Roman};
    case 6:
        return {true, Native | Katakana | Roman};
    case 7:
        return {true, FullShape | Roman};
    case 8:
        return {true, Roman};
    default:
        return {true, std::nullopt};
    }
}

quint32 conversionAfter(const Request &request, quint32 current)
{
    return request.open && request.conversion ? *request.conversion : current;
}

} // namespace ImeMode
