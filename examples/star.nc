%
(A five-pointed star drawn in one stroke, around the centre X420 Y-40.)
G91
G0 X420 Y110          ; jump to the top point
G1
X-88 Y-271
X231 Y167
X-286 Y0
X231 Y-167
X-88 Y271
M2
%
