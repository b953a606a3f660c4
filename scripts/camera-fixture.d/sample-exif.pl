# Inserts a small EXIF block (Make, Model, Orientation, DateTimeOriginal) after a JPEG's start
# marker, so that the virtual camera's pictures carry EXIF as a real body's do.
#   perl sample-exif.pl FILE MAKE MODEL 'YYYY:MM:DD HH:MM:SS'
use strict;
my ($path, $make, $model, $date) = @ARGV;
open(my $in, '<:raw', $path) or die "$path: $!";
local $/; my $jpeg = <$in>; close $in;
die "$path: not a JPEG\n" unless substr($jpeg, 0, 2) eq "\xFF\xD8";
sub ascii { my $t = shift; return ($t . "\0"); }
my @ifd0 = ([0x010F, 2, ascii($make)], [0x0110, 2, ascii($model)], [0x0112, 3, pack('v', 1)], [0x8769, 4, undef]);
my @exif = ([0x9003, 2, ascii($date)]);
# Layout: header (8), IFD0, its data, Exif IFD, its data.
sub ifd_size { my $n = scalar @{$_[0]}; return 2 + 12 * $n + 4; }
sub data_size { my $s = 0; for my $e (@{$_[0]}) { my $v = $e->[2]; $s += length($v) if defined $v && length($v) > 4; } return $s; }
my $ifd0_at = 8;
my $ifd0_data = $ifd0_at + ifd_size(\@ifd0);
my $exif_at = $ifd0_data + data_size(\@ifd0);
my $exif_data = $exif_at + ifd_size(\@exif);
$ifd0[3][2] = pack('V', $exif_at);
sub build {
  my ($entries, $data_at) = @_;
  my $out = pack('v', scalar @$entries); my $data = '';
  for my $e (@$entries) {
    my ($tag, $type, $value) = @$e;
    my $count = $type == 2 ? length($value) : 1;
    my $field = length($value) > 4 ? pack('V', $data_at + length($data)) : substr($value . "\0\0\0\0", 0, 4);
    $data .= $value if length($value) > 4;
    $out .= pack('vvV', $tag, $type, $count) . $field;
  }
  return ($out . pack('V', 0), $data);
}
my ($i0, $d0) = build(\@ifd0, $ifd0_data);
my ($i1, $d1) = build(\@exif, $exif_data);
my $tiff = "II\x2A\x00" . pack('V', 8) . $i0 . $d0 . $i1 . $d1;
my $app1 = "Exif\0\0" . $tiff;
my $segment = "\xFF\xE1" . pack('n', length($app1) + 2) . $app1;
open(my $out, '>:raw', $path) or die "$path: $!";
print $out "\xFF\xD8" . $segment . substr($jpeg, 2);
close $out;
