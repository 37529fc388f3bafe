%
(A square spiral, outward from X200 Y-40, its legs growing by 12.)
G91
G0 X200 Y-40
G1
X12
Y12
X-24
Y-24
X36
Y36
X-48
Y-48
X60
Y60
X-72
Y-72
X84
Y84
X-96
Y-96
X108
Y108
X-120
Y-120
X132
Y132
F60 (the feed reset: 60 is the only feed, so it changes nothing)
Z5 (a move along Z alone draws nothing new)
M30
%
