// Builds the test programs' shared precompiled header; it holds no code of its own.
