// Sources of this area arrive with their own work.
