// Placeholder until the recovery discovery exists.
