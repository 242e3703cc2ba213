// Builds the libraries' shared precompiled header; it holds no code of its own.
