// Deliberately empty: a preloadable library that stands in for nothing.
