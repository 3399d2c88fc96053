function check_oracle(z, lb, ub, F, tol, label)
  % check_oracle(z, lb, ub, F, tol, label): z solves the complementarity
  % problem with bounds lb, ub and function values F (computed by the test,
  % not taken from the solver): every entry within the bounds up to tol and
  % |z - mid(lb, ub, z - F)| <= tol.
  z = z(:); lb = lb(:); ub = ub(:); F = F(:);
  expect(all(isfinite(z)), '%s: z has non-finite entries', label);
  expect(all(z >= lb - tol & z <= ub + tol), '%s: z outside its bounds', label);
  projected = max(lb, min(ub, z - F));
  gap = max([0; abs(z - projected)]);
  expect(gap <= tol, '%s: complementarity gap %g above %g', label, gap, tol);
end
