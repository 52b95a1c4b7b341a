#pragma once

// The two kinds of books: a SQLite file in a folder, the embedded default,
// and a database on a PostgreSQL server, for several desks on one set of
// books.
enum class TEngineKind { SQLite, PostgreSQL };
