// The embedded report server module; its parts live in this folder.
