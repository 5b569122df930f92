# The real executable under Xvfb, driven with xdotool (added below once written).
