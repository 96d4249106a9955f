// Drives the real Quorvel.exe from outside.
