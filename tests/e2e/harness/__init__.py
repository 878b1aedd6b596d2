"""End-to-end harness: runs the real Falwick.EXE under Wine against a local server."""
