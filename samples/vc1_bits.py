"""MSB-first bit packer for writing small VC-1 header streams by hand."""


class Bits:
    def __init__(self):
        self.bits = []

    def put(self, width, value):
        for i in reversed(range(width)):
            self.bits.append((value >> i) & 1)

    def trailing(self):
        self.put(1, 1)
        while len(self.bits) % 8:
            self.bits.append(0)

    def bytes(self):
        out = bytearray()
        for i in range(0, len(self.bits), 8):
            b = 0
            for bit in self.bits[i:i + 8]:
                b = (b << 1) | bit
            out.append(b)
        return bytes(out)
