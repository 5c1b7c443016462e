#pragma once
#include <QByteArray>

// Whether the bytes are one upload tag: nine digits, the first never 0 (the
// number has no leading zeros), the last the final digit of the sum of the
// first eight.
inline bool IsValidTag(const QByteArray& tag) {
    if (tag.size() != 9)
        return false;
    int sum = 0;
    for (int i = 0; i < 9; ++i) {
        if (tag.at(i) < '0' || tag.at(i) > '9')
            return false;
        if (i < 8)
            sum += tag.at(i) - '0';
    }
    return tag.at(0) != '0' && tag.at(8) - '0' == sum % 10;
}
