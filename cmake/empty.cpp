// An empty translation unit, so that a subsystem library exists before it has sources.
