"""bench/run split by what it measures: one module a section, and the arithmetic, the
machine and the report they share."""
