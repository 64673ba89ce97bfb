// Found before the system's own header by every target but src/platform's: SQLite is reached
// only through the platform layer's wrappers (Database, SqliteConnection).
#error "sqlite3.h is private to src/platform: use platform/database.h or platform/sqlite.h"
