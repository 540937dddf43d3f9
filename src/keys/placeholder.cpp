// Sources of this area arrive with its own work.
