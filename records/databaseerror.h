#pragma once

#include "core/errors.h"

namespace kelvora {

// A database file that cannot be read as a store of this program: not SQLite, another
// application's file, another layout version, damaged pages, missing tables, values of the
// wrong kind, or a row whose checksum does not match. The text never quotes the file's bytes.
class DatabaseError : public Error
{
public:
    using Error::Error;
};

} // namespace kelvora
