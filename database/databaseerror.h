#pragma once

#include "core/errors.h"

namespace kelvora {

// A database file that cannot be read as a store of this program: not SQLite, another
// application's file, another layout version, damaged pages, missing tables, values of the
// wrong kind, or rows that do not match their checksums or the check of the whole store. The
// text never quotes the file's bytes.
class DatabaseError : public Error
{
public:
    using Error::Error;
};

// A file written by a newer version of the program: of a later layout, or with fields that
// this version does not know. It may be perfectly sound; it is refused, and left where and as
// it is. The text says so.
class NewerDatabaseError : public DatabaseError
{
public:
    using DatabaseError::DatabaseError;
};

// Another program keeps a lock on the file longer than SQLite waits for it: the file may be
// perfectly sound, and nothing may be done to it. The text is SQLite's.
class DatabaseBusyError : public Error
{
public:
    using Error::Error;
};

// A save refused because another program changed the file since the store read it; the text
// is databaseChangedText().
class DatabaseChangedError : public Error
{
public:
    using Error::Error;
};

} // namespace kelvora
